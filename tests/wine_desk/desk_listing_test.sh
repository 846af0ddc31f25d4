#!/usr/bin/env bash
# The real DLL over the Wine desk lists what the simulated stack lists:
# the built-in bench, the benches of the Java tests, and recordings of real
# machines (imported), each listed through the 19 methods on both sides and
# compared record for record. And the capture tool, run over the desk, makes
# a bench that the simulated stack lists the same way again.
#
# One difference is known and allowed here: the order of the devices (Wine
# enumerates host controllers in the order of their registry keys, the
# simulated stack in bench order), so the records are compared as sets.
# Arguments: the source tree, the Windows build directory, the tests' Wine prefix.
set -euo pipefail
root=$1 build=$2 prefix=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

benches=("" "$root"/java/test/benches/*.json "$root"/tests/wine_desk/benches/failing_answers.json)
for recording in "$root"/tests/import/recordings/*.expected; do
  name=$(basename "$recording" .expected)
  "$root/tests/wine/run_in_wine.sh" "$prefix" "$build/bin/tamberlyx_bench.exe" import-umockdev \
    "Z:${recording%.expected}.umockdev" >"$work/$name.json" || fail "$name: not imported"
  benches+=("$work/$name.json")
done

compared=0
for bench in "${benches[@]}"; do
  name=$(basename "${bench:-built-in}")
  TAMBERLYX_WINDOWS_BUILD=$build "$root/scripts/wine-desk" ${bench:+--bench "$bench"} -- \
    "$build/bin/desk_list_records.exe" >"$work/desk.txt" 2>"$work/desk.err" ||
    fail "$name: the Wine desk run failed: $(cat "$work/desk.err")"
  TAMBERLYX_BENCH=${bench:+Z:$bench} "$root/tests/wine/run_in_wine.sh" "$prefix" "$build/bin/desk_sim_records.exe" \
    >"$work/sim.txt" || fail "$name: the simulated listing failed"
  grep -q '^devices: ' "$work/desk.txt" || fail "$name: no listing from the Wine desk: $(cat "$work/desk.err")"
  tr -d '\r' <"$work/sim.txt" | sort >"$work/sim.sorted"
  tr -d '\r' <"$work/desk.txt" | sort >"$work/desk.sorted"
  diff -u "$work/sim.sorted" "$work/desk.sorted" >"$work/diff.txt" ||
    fail "$name: the Wine desk and the simulated stack differ:
$(cat "$work/diff.txt")"
  TAMBERLYX_WINDOWS_BUILD=$build "$root/scripts/wine-desk" ${bench:+--bench "$bench"} -- \
    "$build/bin/tamberlyx_bench.exe" capture >"$work/captured.json" 2>"$work/desk.err" ||
    fail "$name: the capture over the Wine desk failed: $(cat "$work/desk.err")"
  TAMBERLYX_BENCH="Z:$work/captured.json" "$root/tests/wine/run_in_wine.sh" "$prefix" \
    "$build/bin/desk_sim_records.exe" >"$work/replayed.txt" || fail "$name: the captured bench does not list"
  tr -d '\r' <"$work/replayed.txt" | sort >"$work/replayed.sorted"
  diff -u "$work/desk.sorted" "$work/replayed.sorted" >"$work/diff.txt" ||
    fail "$name: the bench captured over the Wine desk lists differently:
$(cat "$work/diff.txt")"
  echo "$name: $(head -1 "$work/desk.txt" | tr -d '\r'), the same records on both sides and from its capture"
  compared=$((compared + 1))
done
echo "$compared benches compared"
