#!/bin/sh
# Runs a packaging command as every release build runs it, whoever and wherever the builder is:
# SOURCE_DATE_EPOCH from the build's timestamp file, UTC, the C.UTF-8 locale.
#   release-env.sh EPOCH_FILE COMMAND [ARGUMENT...]
set -eu
SOURCE_DATE_EPOCH=$(cat "$1")
shift
TZ=UTC
LC_ALL=C.UTF-8
LANG=C.UTF-8
export SOURCE_DATE_EPOCH TZ LC_ALL LANG
exec "$@"
