#!/usr/bin/env bash
# Soak of Nimbrel.exe under Wine: the pointer enters and leaves the band for 300 s (or --seconds N; --short is a
# 40 s run for the test command). Passes when the resident set at the end is within 1 % of the one after the first
# minute (10 s in the short run) and the bar still docks, parks and launches.
# Needs build/windows/src/win32/Nimbrel.exe and the helpers of bench/build-helpers.sh (built here when missing).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# Exit status 77 (skipped) when the tools are missing, as the end-to-end tests do.
for tool in wine wineserver Xvfb x86_64-w64-mingw32-gcc-posix; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
/usr/bin/python3 -c 'import Xlib.ext.record' 2>/dev/null || { echo "SKIP: python3-xlib is missing"; exit 77; }
[[ -f $root/build/bench/stamp.exe && -f $root/build/bench/menuprobe.dll ]] || bash "$root/bench/build-helpers.sh"
exec /usr/bin/python3 "$root/tests/soak/wine_cases.py" soak "$@"
