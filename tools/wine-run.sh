#!/bin/bash
# Runs a Windows program under Wine in the build's private prefix.
#   wine-run.sh --prefix DIR program.exe [args...]
#   wine-run.sh --prefix DIR --exec command [args...]
# The second form runs a Unix command instead of one program, with the same
# environment, display and lock, so that it can run several Wine programs
# side by side on the prefix's one wineserver.
# Used as CMake's cross-compiling emulator, so plain `ctest` works. It creates
# the prefix once (with the Japanese font replacements), gives Wine a display
# (the caller's DISPLAY, or an Xvfb of its own), serialises runs that share the
# prefix, and leaves nothing running: wineserver and Xvfb end with the program.
set -u

if [ "${1:-}" != "--prefix" ] || [ $# -lt 3 ]; then
    echo "usage: wine-run.sh --prefix DIR {program.exe | --exec command} [args...]" >&2
    exit 2
fi
prefix=$2
shift 2
run_command=""
if [ "$1" = "--exec" ]; then
    run_command=yes
    shift
    if [ $# -lt 1 ]; then
        echo "usage: wine-run.sh --prefix DIR --exec command [args...]" >&2
        exit 2
    fi
fi
case $prefix in /*) ;; *) prefix=$PWD/$prefix ;; esac
here=$(cd "$(dirname "$0")" && pwd)

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# Kagero's users run a Japanese system: the system's dialogs (the property
# sheet's frame and buttons) then speak Japanese and use the matching font.
export LANG=ja_JP.UTF-8
unset LC_ALL
# No Mono/Gecko download prompts on a machine without network access, and no
# crash debugger: a crashing program must end (and fail its test), not wait.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
mkdir -p "$(dirname "$prefix")"

# One run at a time per prefix: each run owns the prefix's wineserver.
exec 9>"$prefix.lock"
flock 9

xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

private_display=""
if [ -z "${DISPLAY:-}" ]; then
    private_display=yes
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp 8>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t 20 display_number <"$fifo"
    rm -f "$fifo"
    if [ -z "${display_number:-}" ]; then
        echo "wine-run: Xvfb did not start" >&2
        exit 1
    fi
    export DISPLAY=":$display_number"
fi

if [ ! -f "$prefix/.kagero-ready" ]; then
    echo "wine-run: creating the Wine prefix $prefix (once)" >&2
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.kagero-ready"
fi
# Wine draws the caption buttons, scroll arrows and check marks with its
# Marlett font (fonts-wine); without it they are letters ("0 1 r"). Debian's
# Wine does not load the fonts of its own data folder, so the prefix's Fonts
# folder links to it, on every run: a prefix made before the package was
# installed gets it too (Wine lists the fonts anew in each session).
marlett=/usr/share/wine/fonts/marlett.ttf
if [ -f "$marlett" ]; then
    ln -sfn "$marlett" "$prefix/drive_c/windows/Fonts/marlett.ttf"
else
    echo "wine-run: no Marlett font (install fonts-wine): window buttons show as letters" >&2
fi
# The font replacements go in again whenever they change.
if ! cmp -s "$here/wine-fonts.reg" "$prefix/.kagero-fonts.reg"; then
    # regedit reads non-ASCII names only from a UTF-16 file.
    reg=$(mktemp --suffix=.reg)
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$here/wine-fonts.reg"; } >"$reg"
    wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
    rm -f "$reg"
    wineserver -w
    cp "$here/wine-fonts.reg" "$prefix/.kagero-fonts.reg"
fi

# A private Xvfb runs no window manager. Wine waits two seconds for one
# whenever it hides a managed window (every closed dialog), so there Wine
# manages its windows itself; on the caller's display the desktop's window
# manager does, as usual.
unmanaged_marker=$prefix/.kagero-unmanaged
if [ -n "$private_display" ] && [ ! -f "$unmanaged_marker" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$unmanaged_marker"
elif [ -z "$private_display" ] && [ -f "$unmanaged_marker" ]; then
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
    wineserver -w
    rm -f "$unmanaged_marker"
fi

if [ -n "$run_command" ]; then
    "$@"
else
    wine "$@"
fi
rc=$?
exit $rc
