#!/bin/bash
# Runs Kagero under Wine in the build's prefix.
#   run-kagero.sh BUILDDIR
# With a DISPLAY the window opens there and the script waits for the
# program to end. Without one, Kagero runs on a private Xvfb: once its main
# window is up a screenshot goes to BUILDDIR/kagero.png, the program is
# closed through its own Exit command, and its exit code must be 0.
set -u

main_class=Kagero_MainWndClass
exit_command=40002
here=$(cd "$(dirname "$0")" && pwd)

# Runs inside wine-run.sh --exec: Kagero and post-command share a wineserver.
run_headless_session() {
    local build=$1
    local post=$build/tools/post-command.exe
    local shot=$build/kagero.png
    wine "$build/kagero.exe" &
    local kagero=$!
    if ! wine "$post" --wait 60 --front "$main_class"; then
        echo "run-kagero: the main window did not come up" >&2
        kill "$kagero" 2>/dev/null
        wait "$kagero" 2>/dev/null
        return 1
    fi
    sleep 1  # let the first paint, and the active caption's, reach the screen
    rm -f "$shot"
    if import -window root "$shot"; then
        echo "$shot"
    else
        echo "run-kagero: the screenshot failed" >&2
    fi
    wine "$post" --wait 10 "$main_class" "$exit_command"
    # Exit must end the program; a bounded wait keeps a hang from blocking.
    local waited=0
    while kill -0 "$kagero" 2>/dev/null && [ $waited -lt 300 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if kill -0 "$kagero" 2>/dev/null; then
        echo "run-kagero: Kagero did not end after Exit" >&2
        kill "$kagero" 2>/dev/null
        wait "$kagero" 2>/dev/null
        return 1
    fi
    wait "$kagero"
    local rc=$?
    if [ $rc -ne 0 ]; then
        echo "run-kagero: Kagero ended with exit code $rc" >&2
        return 1
    fi
    return 0
}

if [ "${1:-}" = "--headless-session" ]; then
    run_headless_session "$2"
    exit $?
fi

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
    echo "usage: run-kagero.sh BUILDDIR" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
if [ ! -f "$build/kagero.exe" ]; then
    echo "run-kagero: $build/kagero.exe is missing; build first" >&2
    exit 1
fi

if [ -n "${DISPLAY:-}" ]; then
    exec "$here/wine-run.sh" --prefix "$build/wineprefix" "$build/kagero.exe"
fi

# Without a display wine-run.sh starts its own Xvfb and hands it to the session.
exec "$here/wine-run.sh" --prefix "$build/wineprefix" --exec "$here/run-kagero.sh" --headless-session "$build"
