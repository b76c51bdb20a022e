#!/usr/bin/env bash
# Builds Nimbrel.exe and starts it under Wine. On a desktop it runs on the current display until you press Exit on
# the bar; without a display it runs on a virtual X server, saves a screenshot and says where. What the build and
# the test lab print goes to build/run.log, or to the terminal with --verbose.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
log="$root/build/run.log"
verbose=0
[[ ${1:-} == --verbose ]] && verbose=1
mkdir -p build
: >"$log"
quietly() {
    if ((verbose)); then
        "$@"
    elif ! "$@" >>"$log" 2>&1; then
        echo "Failed: $*; the last lines of $log:" >&2
        tail -n 20 "$log" >&2
        exit 1
    fi
}

echo "Building Nimbrel.exe for Windows (output in ${log#"$root"/}) ..."
quietly bash scripts/install-deps.sh
quietly cmake --preset windows
quietly cmake --build --preset windows --target Nimbrel

app="$root/build/run"
mkdir -p "$app"
cp build/windows/src/win32/Nimbrel.exe "$app/"
[[ -f build/windows/nimbrel.pdf ]] && cp build/windows/nimbrel.pdf "$app/" || true

if [[ -z "${DISPLAY:-}" ]]; then
    shot="$root/build/nimbrel-screenshot.png"
    echo "No display: starting a virtual X server with Wine and running the bar on it ..."
    quietly cmake --build --preset windows --target nimbrel_lab_helpers
    quietly /usr/bin/python3 tests/lab/lab.py show "$app/Nimbrel.exe" --title Nimbrel --out "$shot"
    echo "Nimbrel ran; its screenshot is $shot (what the lab did: ${log#"$root"/})"
    exit 0
fi

export WINEPREFIX="${NIMBREL_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "Preparing a Wine prefix in $WINEPREFIX (once) ..."
    quietly wineboot -i
    quietly wineserver -w
fi
echo "Starting Nimbrel on $DISPLAY; press its Exit button to end it."
exec wine "$app/Nimbrel.exe"
