#!/bin/bash
# Takes the README's pictures under Xvfb and keeps them in docs/:
#   make-screenshots.sh BUILDDIR
#   make-screenshots.sh --check BUILDDIR   the tool's own test: its usage,
#                                          pictures it cannot save, and every
#                                          picture taken, into a folder of the build
# kagero-scene.exe makes the README's scene; kagero-screenshot.exe drives the
# real main window, property sheet, find window and holders window over it
# and saves each window as a bitmap; here they become PNG files.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
check=""
if [ "${1:-}" = "--check" ]; then
    check=yes
    shift
fi
build=$(cd "$1" && pwd)
docs=$(dirname "$here")/docs
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
run() { env -u DISPLAY "$here/wine-run.sh" --prefix "$build/wineprefix" "$@"; }
tool=$build/tools/kagero-screenshot.exe

cannot=""
if [ -n "$check" ]; then
    docs=$build/screenshots-check
    usage=$(run "$tool" --help) || { echo "make-screenshots: --help failed" >&2; exit 1; }
    case $usage in usage:*) ;; *) echo "make-screenshots: --help printed: $usage" >&2; exit 1 ;; esac
    cannot='Z:\proc'  # no file can be made there: every picture fails
fi
mkdir -p "$docs"
windows_folder="Z:$(echo "$shots" | tr / '\\')"
# The pictures that cannot be saved must fail the tool, with the scene there.
run --exec sh -c 'wine "$1" || exit
    if [ -n "$4" ] && wine "$2" "$4" 2>/dev/null; then
        echo "make-screenshots: pictures that cannot be saved were taken as saved" >&2
        exit 1
    fi
    wine "$2" "$3"' sh "$build/tools/kagero-scene.exe" "$tool" "$windows_folder" "$cannot"
for picture in main-window general-page security-page find-window find-writable holders-window holders-files; do
    # No time stamps in the files: a picture taken again changes only when it looks different.
    convert "$shots/$picture.bmp" -strip "$docs/$picture.png"
done
ls "$docs"/*.png
