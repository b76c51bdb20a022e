#!/usr/bin/env bash
# Builds everything and runs the whole test suite: the check of the generated pictures, native unit
# tests (g++ and clang++, then under AddressSanitizer and UndefinedBehaviorSanitizer), clang-tidy on
# the core, and the Windows build with its Win32-layer and end-to-end tests under Wine on a virtual X
# server.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

step() { printf '\n==== %s ====\n' "$*"; }

step "pictures"
# Debian's interpreter, which python3-pil serves, whatever python3 comes first on the PATH.
/usr/bin/python3 tools/make-icons.py --check

step "native build (g++)"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

step "native build (clang++)"
cmake --preset native-clang >/dev/null
cmake --build --preset native-clang
ctest --test-dir build/native-clang --output-on-failure

step "clang-tidy on the core"
find src -name '*.cpp' -not -path 'src/win32/*' -print0 |
    xargs -0 -n 4 -P 2 clang-tidy -p build/native --quiet

step "sanitizers"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize

step "Windows build and tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows

step "all tests passed"
