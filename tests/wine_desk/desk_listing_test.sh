#!/usr/bin/env bash
# The real DLL over the Wine desk answers what the simulated stack answers:
# the built-in bench, the benches of the Java tests and of the desk's own
# tests (failing and lying answers, HID report sizes and ids), and
# recordings of real machines (imported). On both sides one program makes
# the same sequence of native calls (host/sequence.h): the lists for
# 0xFFFF, 0x0000 and each vendor present, the HID and WinUSB devices'
# descriptors and texts, data moved on the WinUSB devices, the companion's
# runs, change records and lists after a device is pulled out and plugged
# back, and the trace files of the walks. And the capture tool, run
# over the desk, makes a bench over which the simulated stack lists and
# opens the same again.
#
# Wine names some things itself: the driver keys its installer gives, the
# HID collections its class driver makes. The desk's side writes down those
# names, and the simulated side answers with them. The order of the devices
# differs too (Wine enumerates host controllers in the order of their
# registry keys, the simulated stack in bench order), so the answers are
# compared as sets of lines.
# Arguments: the source tree, the Windows build directory, the tests' Wine prefix.
set -euo pipefail
root=$1 build=$2 prefix=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

benches=("" "$root"/java/test/benches/*.json "$root"/tests/wine_desk/benches/*.json)
for recording in "$root"/tests/import/recordings/*.expected; do
  name=$(basename "$recording" .expected)
  "$root/tests/wine/run_in_wine.sh" "$prefix" "$build/bin/tamberlyx_bench.exe" import-umockdev \
    "Z:${recording%.expected}.umockdev" >"$work/$name.json" || fail "$name: not imported"
  benches+=("$work/$name.json")
done

# The answers compared: every line but for the traces' hexadecimal dumps
# (of names also traced as text), with the traces in upper case (Wine names
# symbolic links in lower case, instance ids in upper case) and without
# what the README's table of differences explains: the tag of a missing
# bus number (Wine keeps no SPDRP_BUSNUMBER), and the trace of the update
# after the pull-out (Wine's DIGCF_PRESENT sets keep a device that went).
comparable() {
  tr -d '\r' <"$1" | sed -E '/^trace [^:]*: [0-9A-F]{4}: /d; /^trace update FFFF after unplug: /d;
    /^trace [^:]*: Eb17!$/d; /^trace /s/.*/\U&/' | sort
}

compared=0
for bench in "${benches[@]}"; do
  name=$(basename "${bench:-built-in}")
  TAMBERLYX_WINDOWS_BUILD=$build "$root/scripts/wine-desk" ${bench:+--bench "$bench"} -- \
    "$build/bin/desk_sequence/desk_sequence.exe" --wine-names "Z:$work/names.txt" >"$work/desk.txt" \
    2>"$work/desk.err" || fail "$name: the Wine desk run failed: $(cat "$work/desk.err")"
  TAMBERLYX_BENCH=${bench:+Z:$bench} "$root/tests/wine/run_in_wine.sh" "$prefix" "$build/bin/desk_sequence_sim.exe" \
    --wine-names "Z:$work/names.txt" >"$work/sim.txt" || fail "$name: the simulated sequence failed"
  grep -q '^list FFFF: devices ' "$work/desk.txt" || fail "$name: no listing from the Wine desk: $(cat "$work/desk.err")"
  comparable "$work/sim.txt" >"$work/sim.sorted"
  comparable "$work/desk.txt" >"$work/desk.sorted"
  diff -u "$work/sim.sorted" "$work/desk.sorted" >"$work/diff.txt" ||
    fail "$name: the Wine desk and the simulated stack differ:
$(cat "$work/diff.txt")"
  TAMBERLYX_WINDOWS_BUILD=$build "$root/scripts/wine-desk" ${bench:+--bench "$bench"} -- \
    "$build/bin/tamberlyx_bench.exe" capture >"$work/captured.json" 2>"$work/desk.err" ||
    fail "$name: the capture over the Wine desk failed: $(cat "$work/desk.err")"
  TAMBERLYX_BENCH="Z:$work/captured.json" "$root/tests/wine/run_in_wine.sh" "$prefix" \
    "$build/bin/desk_sequence_sim.exe" >"$work/replayed.txt" || fail "$name: the captured bench does not list"
  # A capture is one walk's snapshot: a device whose answers change from
  # walk to walk (a bench's growing descriptor) keeps the first, so the
  # first list and the devices opened are compared; what follows a walk
  # more, between the desk and the bench only.
  snapshot() { grep -aE '^(list FFFF:|open |descriptor |text [123] |close )' "$1" || true; }
  tr -d '\r' <"$work/replayed.txt" | sort >"$work/replayed.sorted"
  diff -u <(snapshot "$work/desk.sorted") <(snapshot "$work/replayed.sorted") >"$work/diff.txt" ||
    fail "$name: the bench captured over the Wine desk lists differently:
$(cat "$work/diff.txt")"
  echo "$name: $(grep -m1 '^list FFFF: devices' "$work/desk.txt" | tr -d '\r'), $(grep -c '^change' "$work/desk.txt") change records, $(grep -c '^TRACE' "$work/desk.sorted") trace lines: the same on both sides, and from its capture"
  compared=$((compared + 1))
done
echo "$compared benches compared"
