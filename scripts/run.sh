#!/usr/bin/env bash
# Builds Nimbrel.exe and starts it under Wine. On a desktop it runs on the current display until
# you press Exit on the bar; without a display it runs on a virtual X server, saves a screenshot
# and says where.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target Nimbrel

app="$root/build/run"
mkdir -p "$app"
cp build/windows/src/win32/Nimbrel.exe "$app/"
[[ -f build/windows/nimbrel.pdf ]] && cp build/windows/nimbrel.pdf "$app/" || true

export WINEPREFIX="${NIMBREL_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "Preparing a Wine prefix in $WINEPREFIX (once) ..."
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi

if [[ -n "${DISPLAY:-}" ]]; then
    echo "Starting Nimbrel on $DISPLAY; press its Exit button to end it."
    exec wine "$app/Nimbrel.exe"
fi

display=:77
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
# Without a window manager, windows moved off the screen must stay unmanaged (see docs).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wine "$app/Nimbrel.exe" &
for _ in $(seq 1 60); do
    xdotool search --name '^Nimbrel$' >/dev/null 2>&1 && break
    sleep 0.5
done
sleep 1
shot="$root/build/nimbrel-screenshot.png"
import -window root "$shot"
echo "Nimbrel ran on a virtual X server ($display); screenshot saved to $shot"
