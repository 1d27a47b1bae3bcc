#!/bin/bash
# Takes the README's pictures under Xvfb and keeps them in docs/:
#   make-screenshots.sh BUILDDIR
# kagero-screenshot.exe makes a few objects in \BaseNamedObjects as
# applications would, drives the real main window, property sheet and find
# window over them, and saves each window as a bitmap; here they become PNG
# files.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
build=$(cd "$1" && pwd)
docs=$top/docs
mkdir -p "$docs"
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT

prefix=$build/wineprefix
windows_folder="Z:$(echo "$shots" | tr / '\\')"
env -u DISPLAY "$here/wine-run.sh" --prefix "$prefix" \
    "$build/tools/kagero-screenshot.exe" "$windows_folder"
for picture in main-window general-page security-page find-window holders-window; do
    # No time stamps in the files: a picture taken again changes only when it looks different.
    convert "$shots/$picture.bmp" -strip "$docs/$picture.png"
done
ls "$docs"/*.png
