#!/bin/bash
# The Wine runner leaves the prefix's registry as it found it, whatever the
# display it was given, and says what it waits for.
#   check-wine-run.sh BUILDDIR
# Runs tools/wine-run.sh on BUILDDIR/wineprefix: on a bare Xvfb of its own
# given as DISPLAY (no window manager), on a display whose root says a window
# manager runs, without DISPLAY, and stopped by a signal; inside each run it
# asks Wine for the X11 Driver's Managed value, and after each it compares
# user.reg and system.reg with their text before. Wine stamps the keys it
# touches with a time, and its display driver's date, at every session:
# those lines are left out of the comparison.
set -u
here=$(cd "$(dirname "$0")" && pwd)
if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: check-wine-run.sh BUILDDIR" >&2
    exit 2
fi
prefix=$(cd "$1" && pwd)/wineprefix
run="$here/wine-run.sh"
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
failed=0
fail() {
    echo "FAILED: $*"
    failed=$((failed + 1))
}

registry() {
    for hive in user system; do
        sed -E 's/^(\[.*\]) [0-9]+$/\1/; /^#time=/d; /^"DriverDateData"=/d' "$prefix/$hive.reg"
    done
}
# Prints the Managed value Wine reads in the run, or "none".
ask_managed='wine reg query "HKCU\Software\Wine\X11 Driver" /v Managed 2>/dev/null | tr -d "\r" | sed -n "s/.*Managed *REG_SZ *//p" | grep . || echo none'

# A first run makes the prefix (or brings an older one up to date).
env -u DISPLAY "$run" --prefix "$prefix" --exec true 2>/dev/null

# -noreset: the root keeps what the cases set on it when their client leaves.
mkfifo "$work/fifo"
Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp -noreset 8>"$work/fifo" >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 20 number <"$work/fifo"
bare=":${number:-none}"

# case | DISPLAY (empty: none) | window manager said on the root | exit code | Managed in the run
while IFS='|' read -r name display manager code managed; do
    if [ "$manager" = yes ]; then
        DISPLAY=$bare xprop -root -f _NET_SUPPORTING_WM_CHECK 32c -set _NET_SUPPORTING_WM_CHECK 1
    else
        DISPLAY=$bare xprop -root -remove _NET_SUPPORTING_WM_CHECK 2>/dev/null
    fi
    registry >"$work/before"
    if [ "$code" = 130 ]; then
        command="$ask_managed; kill -TERM \$PPID"
    else
        command=$ask_managed
    fi
    if [ -n "$display" ]; then given=(DISPLAY="$display"); else given=(-u DISPLAY); fi
    got=$(env "${given[@]}" "$run" --prefix "$prefix" --exec sh -c "$command" 2>/dev/null)
    rc=$?
    [ "$rc" = "$code" ] || fail "$name: exit code $rc, not $code"
    [ "$got" = "$managed" ] || fail "$name: Managed in the run: $got, not $managed"
    registry >"$work/after"
    diff "$work/before" "$work/after" >"$work/diff" || fail "$name: the registry changed: $(head -c 600 "$work/diff")"
    [ -e "$prefix/.kagero-x11-driver" ] && fail "$name: the saved X11 Driver key was left behind"
done <<EOF
a bare Xvfb as DISPLAY|$bare|no|0|N
a display with a window manager|$bare|yes|0|none
no DISPLAY (the runner's own Xvfb)||no|0|N
stopped by SIGTERM|$bare|no|130|N
EOF

# Another run holds the prefix: the runner says once that it waits, and
# --exec says when its session is ready.
exec 7>"$prefix.lock"
flock 7
DISPLAY=$bare "$run" --prefix "$prefix" --exec true 2>"$work/stderr" 7>&- &
waiting=$!
# Once it blocks on the lock (its flock runs), what it says first is said.
until pgrep -P "$waiting" -x flock >/dev/null; do
    kill -0 "$waiting" 2>/dev/null || break
    sleep 0.1
done
exec 7>&-
wait "$waiting" || fail "the waiting run failed"
[ "$(grep -c 'waiting for' "$work/stderr")" = 1 ] || fail "the wait not said once: $(cat "$work/stderr")"
grep -q 'the session is ready' "$work/stderr" || fail "--exec did not say that the session is ready: $(cat "$work/stderr")"

echo "wine-run: $failed failed"
[ "$failed" = 0 ]
