#!/usr/bin/env bash
# A smoke test: the bench tool's capture over the real platform layer under
# plain Wine, a machine without USB controllers, is a bench the simulated
# machine accepts. Captures of machines with devices are checked over the
# Wine desk (tests/wine_desk/desk_listing_test.sh).
# bench_capture_smoke_test.sh <run_in_wine.sh> <prefix> <tamberlyx_bench.exe> <bench_check.exe> <output>
set -euo pipefail
run=$1 prefix=$2 tool=$3 check=$4 output=$5
[ -f "$prefix/.tamberlyx-ready" ] || "$(dirname "$run")/make_wine_prefix.sh" "$prefix" >/dev/null
"$run" "$prefix" "$tool" capture > "$output"
grep -q '"controllers": \[\]' "$output" || { echo "capture lists host controllers under Wine:"; cat "$output"; exit 1; }
"$run" "$prefix" "$check" "Z:$output"
