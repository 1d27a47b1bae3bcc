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
if ! flock -n 9; then
    echo "wine-run: waiting for $prefix: another run holds it" >&2
    flock 9
fi

# Whether Wine manages its windows is the run's own choice (below): the
# prefix's X11 Driver key, which says it, is changed for the run only and put
# back as it was once the run's wineserver has ended (and so written the
# registry), on every way out: the end, an error, Ctrl+C, a kill. Wine takes
# the setting from nowhere but its registry, and a run that cannot put it
# back (kill -9) leaves it saved for the next run, which puts it back first.
x11_saved=$prefix/.kagero-x11-driver
# The X11 Driver key in user.reg: a block of lines from its [name] line to
# the blank line that ends it.
#   x11_key get             prints the block, or nothing when there is none
#   x11_key put FILE        replaces it by FILE's lines (none: leaves it out)
# Only while no wineserver runs on the prefix, which would write over it.
x11_key() {
    python3 - "$prefix/user.reg" "$@" <<'PY'
import os, sys
path, action = sys.argv[1], sys.argv[2]
text = open(path, encoding='latin-1', newline='').read() if os.path.exists(path) else ''
body = text[:-1] if text.endswith('\n') else text
blocks = body.split('\n\n') if body else []
ours = [i for i, b in enumerate(blocks) if b.lower().startswith('[software\\\\wine\\\\x11 driver]')]
if action == 'get':
    sys.stdout.write(blocks[ours[0]] + '\n' if ours else '')
    sys.exit(0)
new = open(sys.argv[3], encoding='latin-1', newline='').read().rstrip('\n')
if ours:
    blocks[ours[0]:ours[0] + 1] = [new] if new else []
elif new:
    blocks.append(new)
made = path + '.kagero-new'
with open(made, 'w', encoding='latin-1', newline='') as f:
    f.write('\n\n'.join(blocks) + '\n')
os.replace(made, path)
PY
}

restore_x11() {
    [ -f "$x11_saved" ] || return 0
    x11_key put "$x11_saved" && rm -f "$x11_saved"
}

xvfb_pid=""
cleanup() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    restore_x11
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

# A bare Xvfb (the private one, or a caller's) runs no window manager: there
# Wine manages its windows itself, drawing their captions and borders, and
# does not wait two seconds for a manager whenever it hides a window (every
# closed dialog). On a display with a window manager (one that says so on the
# root window, as every EWMH one does) that manager frames them, as usual.
# Either way only for this run: see x11_saved above.
window_manager_runs() {
    [ -z "$private_display" ] && xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q '^_NET_SUPPORTING_WM_CHECK('
}
wineserver -w
restore_x11  # a run that was killed before it could
# Prefixes of before: their runner wrote the unmanaged mode into the prefix.
if [ -f "$prefix/.kagero-unmanaged" ]; then
    x11_key get | grep -v '^"Managed"=' >"$x11_saved.old"
    if [ "$(grep -vc '^#' "$x11_saved.old")" -le 1 ]; then : >"$x11_saved.old"; fi
    x11_key put "$x11_saved.old" && rm -f "$prefix/.kagero-unmanaged"
    rm -f "$x11_saved.old"
fi
x11_key get >"$x11_saved.new"
if window_manager_runs; then
    run_section=$(grep -v '^"Managed"=' "$x11_saved.new")
elif ! grep -qx '"Managed"="N"' "$x11_saved.new"; then
    run_section=$(grep -v '^"Managed"=' "$x11_saved.new")
    run_section=${run_section:-'[Software\\Wine\\X11 Driver]'}$'\n"Managed"="N"'
else
    run_section=$(cat "$x11_saved.new")
fi
if [ "$run_section" != "$(cat "$x11_saved.new")" ]; then
    mv "$x11_saved.new" "$x11_saved"
    printf '%s\n' "$run_section" >"$x11_saved.new"
    x11_key put "$x11_saved.new"
fi
rm -f "$x11_saved.new"

if [ -n "$run_command" ]; then
    echo "wine-run: the session is ready (DISPLAY=$DISPLAY)" >&2
    "$@"
else
    wine "$@"
fi
rc=$?
exit $rc
