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

if [[ -z "${DISPLAY:-}" ]]; then
    shot="$root/build/nimbrel-screenshot.png"
    cmake --build --preset windows --target nimbrel_lab_helpers
    python3 tests/lab/lab.py show "$app/Nimbrel.exe" --title Nimbrel --out "$shot"
    echo "Nimbrel ran on a virtual X server; screenshot saved to $shot"
    exit 0
fi

export WINEPREFIX="${NIMBREL_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "Preparing a Wine prefix in $WINEPREFIX (once) ..."
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
echo "Starting Nimbrel on $DISPLAY; press its Exit button to end it."
exec wine "$app/Nimbrel.exe"
