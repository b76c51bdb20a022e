#!/usr/bin/env bash
# Nimbrel.exe against a bare Win32 window under Wine on a virtual X server; prints the table of figures.
#
#   bash bench/run-bench.sh [--pairs N] [--idle SECONDS] [--reactions N] [--launches N]
#
# Builds Nimbrel.exe, the bare window and the lab's helpers with the windows preset, then runs bench/winebench.py in
# one lab (tests/lab/lab.py): a free display and a copy of the lab's template prefix under /tmp.
# The table and the raw figures are also written to build/bench/last-run.md and .json.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [[ -f scripts/install-deps.sh ]]; then
    bash scripts/install-deps.sh
fi
# The X observers of the benchmark speak the X protocol through Debian's python3-xlib.
if ! /usr/bin/python3 -c 'import Xlib.ext.record' 2>/dev/null; then
    echo "bench: python3-xlib is missing (apt-get install python3-xlib)" >&2
    exit 1
fi

cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target Nimbrel nimbrel_lab_helpers
nimbrel=build/windows/src/win32/Nimbrel.exe
[[ -f $nimbrel ]] || { echo "bench: $nimbrel was not built" >&2; exit 1; }

mkdir -p build/bench
exec /usr/bin/python3 bench/winebench.py --exe "$nimbrel" --build build/windows/helpers --out build/bench/last-run "$@"
