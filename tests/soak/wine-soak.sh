#!/usr/bin/env bash
# Soak of Nimbrel.exe under Wine: the pointer enters and leaves the band for 300 s (or --seconds N; --short is a
# 40 s run for the test command). Passes when the resident set at the end is within 1 % of the one after the first
# minute (10 s in the short run) and the bar still docks, parks and launches. Exit status 77: tools missing.
# Needs build/windows/src/win32/Nimbrel.exe and the lab's programs (cmake --build --preset windows).
exec /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/wine_cases.py" soak "$@"
