#!/usr/bin/env bash
# Nimbrel.exe under Wine in a hostile environment, one end-to-end case each (default: all):
#   read-only-folder settings-directory settings-locked settings-16mib program-deleted help-missing
# Prints PASS or FAIL per case; exits 1 when any failed, 77 when the tools are missing.
exec /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/wine_cases.py" bad-env "$@"
