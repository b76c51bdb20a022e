#!/usr/bin/env bash
# run-fuzz.sh FUZZER SEEDS WORKDIR SECONDS: fuzzes for SECONDS from a fresh copy of the seed corpus.
# Fails on any crash, hang (over 5 s for one input), leak or undefined behaviour.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$seeds"/* "$work/corpus/"
exec "$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$work/corpus"
