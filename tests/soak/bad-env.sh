#!/usr/bin/env bash
# Nimbrel.exe under Wine in a hostile environment, one end-to-end case each (default: all):
#   read-only-folder settings-directory settings-locked settings-16mib program-deleted help-missing
# Prints PASS or FAIL per case; exits 1 when any failed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# Exit status 77 (skipped) when the tools are missing, as the end-to-end tests do.
for tool in wine wineserver Xvfb x86_64-w64-mingw32-gcc-posix; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
/usr/bin/python3 -c 'import Xlib.ext.record' 2>/dev/null || { echo "SKIP: python3-xlib is missing"; exit 77; }
[[ -f $root/build/bench/stamp.exe && -f $root/build/bench/locker.exe && -f $root/build/bench/menuprobe.dll ]] || bash "$root/bench/build-helpers.sh"
exec /usr/bin/python3 "$root/tests/soak/wine_cases.py" bad-env "$@"
