#!/usr/bin/env bash
# Builds the release packages: build/windows/release/Nimbrel-<version>-win64.zip and -setup.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target package-release
ls -l build/windows/release
