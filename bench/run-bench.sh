#!/usr/bin/env bash
# Nimbrel.exe against a bare Win32 window under Wine on a virtual X server; prints the table of figures.
#
#   bash bench/run-bench.sh [--pairs N] [--idle SECONDS] [--reactions N] [--launches N] [--steps N]
#   bash bench/run-bench.sh --against VARIANT [--variant VARIANT] [--pairs N] [--limit RATIO] [--steps N]
#
# Builds Nimbrel.exe, the bare window and the lab's helpers with the windows preset, then runs bench/winebench.py in
# one lab (tests/lab/lab.py): a free display and a copy of the lab's template prefix under /tmp.
# With --against, two variants start in turns (the earlier one, then --variant, this build by default), and only
# start-up and memory are measured (25 pairs by default). A variant is WHAT[,SETUP]: WHAT is `this`, an exe, or a
# commit (built once in a scratch worktree and kept as build/bench/exes/<commit>/Nimbrel.exe); SETUP is what is
# planted beside it (`plain`, `links=N`). Examples: `--against 7eb6643^1`, `--against this --variant this,links=20`.
# --steps N adds N starts of each under Wine's relay trace, which time the steps of the start-up.
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

scratch=
trap '[[ -z $scratch ]] || git worktree remove --force "$scratch"' EXIT

# Adds a variant as winebench.py takes it: --variant LABEL EXE SETUP. A commit is built once, with the windows preset
# as that commit has it, target Nimbrel only, in a scratch worktree that is removed afterwards.
add_variant() {
    local what=${1%%,*} setup=plain id label exe
    [[ $1 != *,* ]] || setup=${1#*,}
    if [[ $what == this ]]; then
        label="this build ($(git rev-parse --short HEAD)$(git diff --quiet HEAD -- src || echo ', changed'))"
        exe=$nimbrel
    elif [[ -f $what ]]; then
        label=$what exe=$what
    elif id=$(git rev-parse --verify --quiet "$what^{commit}"); then
        label="$(git rev-parse --short "$id") ($what)" exe=build/bench/exes/$id/Nimbrel.exe
        if [[ ! -f $exe ]]; then
            scratch=build/bench/scratch-$id
            [[ ! -e $scratch ]] || git worktree remove --force "$scratch"
            git worktree prune
            git worktree add --detach "$scratch" "$id"
            (cd "$scratch" && cmake --preset windows >/dev/null && cmake --build --preset windows -j2 --target Nimbrel)
            mkdir -p "${exe%/*}"
            cp "$scratch/build/windows/src/win32/Nimbrel.exe" "$exe"
            git worktree remove --force "$scratch"
            scratch=
        fi
    else
        echo "bench: $what is neither this, an exe nor a commit" >&2
        exit 1
    fi
    args+=(--variant "$label" "$exe" "$setup")
}

against= other=this
args=()
while (($#)); do
    case $1 in
        --against) against=$2; shift 2 ;;
        --variant) other=$2; shift 2 ;;
        *) args+=("$1"); shift ;;
    esac
done
if [[ -n $against ]]; then
    add_variant "$against"
    add_variant "$other"
fi

mkdir -p build/bench
/usr/bin/python3 bench/winebench.py --exe "$nimbrel" --build build/windows/helpers --out build/bench/last-run \
    "${args[@]}"
