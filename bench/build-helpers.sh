#!/usr/bin/env bash
# Builds the bare window and the small Windows helpers of the benchmark and of the Wine soak tests into
# build/bench, with the MinGW-w64 compiler that builds Nimbrel.exe, 64-bit and statically linked.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$root/build/bench
mkdir -p "$out"
cc=x86_64-w64-mingw32-gcc-posix
cxx=x86_64-w64-mingw32-g++-posix
warnings=(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)

$cc -O2 "${warnings[@]}" -municode -mwindows -static -o "$out/bare.exe" "$root/bench/bare/bare.c"
$cc -O2 "${warnings[@]}" -DBARE_WITH_BAR_DLLS -municode -mwindows -static -o "$out/bare-dlls.exe" \
    "$root/bench/bare/bare.c" -lcomctl32 -lole32 -loleaut32 -lshell32 -luxtheme -lmsimg32
# The launch recorder runs no C runtime start-up: its entry point is its first instruction.
$cc -O2 "${warnings[@]}" -nostartfiles -nostdlib -e StampEntry -mwindows -o "$out/stamp.exe" \
    "$root/bench/helpers/stamp.c" -lkernel32
$cc -O2 "${warnings[@]}" -municode -static -o "$out/locker.exe" "$root/bench/helpers/locker.c"
$cc -O2 "${warnings[@]}" -municode -mwindows -static -o "$out/idle.exe" "$root/bench/helpers/idle.c"
# The end-to-end tests' probe finds toolbar buttons and menu items in the running bar.
e2e=$root/tests/e2e/helpers
defs=(-DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601 -std=c++20 -O2)
$cxx "${defs[@]}" -municode -static -o "$out/probe.exe" "$e2e/probe.cpp" -lcomctl32
$cxx "${defs[@]}" -shared -static -o "$out/menuprobe.dll" "$e2e/menuprobe.cpp"
