#!/bin/bash
# Takes the README's pictures under Xvfb and keeps them in docs/:
#   make-screenshots.sh BUILDDIR
# The main window comes from `make run`'s own headless run; the property
# sheets from the sheet tests, which save the screen when KAGERO_SCREENSHOTS
# names a folder. Xvfb's root is black, so trimming leaves the windows.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
build=$(cd "$1" && pwd)
docs=$top/docs
program=${SHEET_TESTS:-$build/tests/app/gui_tests.exe}
mkdir -p "$docs"
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT

env -u DISPLAY "$here/run-kagero.sh" "$build" >/dev/null
convert "$build/kagero.png" -trim +repage "$docs/main-window.png"

windows_folder="Z:$(echo "$shots" | tr / '\\')"
env -u DISPLAY KAGERO_SCREENSHOTS="$windows_folder" "$here/wine-run.sh" --prefix "$build/wineprefix" \
    "$program" >/dev/null
for picture in "sem:general-page" "security-event:security-page"; do
    convert "$shots/${picture%%:*}.bmp" -trim +repage "$docs/${picture##*:}.png"
done
ls "$docs"/*.png
