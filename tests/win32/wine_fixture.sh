#!/bin/sh
# Prepares and removes the private Wine prefix and virtual display that the Win32 tests run in.
# usage: wine_fixture.sh setup|cleanup PREFIX DISPLAY STATE_DIR
set -u
action=$1
prefix=$2
display=$3
state=$4

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" DISPLAY="$display"
mkdir -p "$state"

case "$action" in
setup)
    # A server that answers is used as it is; a lock or socket a dead one left behind Xvfb clears itself.
    if command -v Xvfb >/dev/null 2>&1 && ! xdpyinfo -display "$display" >/dev/null 2>&1; then
        Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
        echo $! >"$state/xvfb.pid"
        i=0
        while ! xdpyinfo -display "$display" >/dev/null 2>&1 && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
    fi
    if [ ! -f "$prefix/system.reg" ]; then
        wineboot -i >"$state/wineboot.log" 2>&1 || exit 1
    fi
    # Without a window manager, windows moved off the screen would stall Wine.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || exit 1
    ;;
cleanup)
    wineserver -k >/dev/null 2>&1
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null
        rm -f "$state/xvfb.pid"
    fi
    ;;
*)
    echo "usage: $0 setup|cleanup PREFIX DISPLAY STATE_DIR" >&2
    exit 2
    ;;
esac
exit 0
