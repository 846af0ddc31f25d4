#!/usr/bin/env bash
# The rules of HID report reads and writes: Wine's HID class driver over the
# Wine desk and the simulated stack answer the same requests alike. The
# collections of the bench, as the rules program takes them: product id,
# input and output report lengths (with the id byte), first report id.
# Arguments: the source tree, the Windows build directory, the tests' Wine prefix.
set -euo pipefail
root=$1 build=$2 prefix=$3
bench=$root/tests/wine_desk/benches/hid_report_rules.json
collections=(0002:65:65:0 0005:65:65:0 0007:33:33:1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$root/scripts/wine-desk" --bench "$bench" -- "$build/bin/desk_hid_rules.exe" "${collections[@]}" >"$work/desk.txt"
TAMBERLYX_BENCH="Z:$bench" "$root/tests/wine/run_in_wine.sh" "$prefix" "$build/bin/desk_hid_rules_sim.exe" \
  "${collections[@]}" >"$work/sim.txt"
tr -d '\r' <"$work/desk.txt" >"$work/desk"
tr -d '\r' <"$work/sim.txt" >"$work/sim"
if ! diff -u "$work/sim" "$work/desk"; then
  echo "FAILED: the simulated stack (-) and Wine's HID class driver (+) answer differently" >&2
  exit 1
fi
cat "$work/desk"
echo "the simulated stack and Wine's HID class driver answer $(grep -c -E '^(write|read)' "$work/desk") requests alike"
