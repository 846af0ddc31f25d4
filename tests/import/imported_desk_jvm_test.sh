#!/usr/bin/env bash
# Recordings of real machines (recordings/), imported as benches and listed
# by a real JVM through the peer class: each lists exactly the records its
# .expected file holds.
set -euo pipefail
bench_tool=$1 library=$2 classes=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAILED: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"
trap 'rm -f /dev/shm/tamberlyx-import-$$' EXIT
count=0
for expected in "$here"/recordings/*.expected; do
  name=$(basename "$expected" .expected)
  "$bench_tool" import-umockdev "$here/recordings/$name.umockdev" >"$work/$name.json" || fail "$name: not imported"
  TAMBERLYX_BENCH="$work/$name.json" TAMBERLYX_SIM_ROOT="$work/machine" TAMBERLYX_SIM_SHM="/tamberlyx-import-$$" \
    java -Xcheck:jni -Dtamberlyx.library="$library" -cp "$classes" "$here/../package/ListBench.java" >"$work/$name.txt" 2>&1 ||
    fail "$name: the JVM failed: $(cat "$work/$name.txt")"
  ! grep -E "WARNING in native method|FATAL ERROR" "$work/$name.txt" || fail "$name: the JVM reported a JNI problem"
  grep -E '^[01]:=' "$work/$name.txt" >"$work/$name.records" || true
  grep -qx "devices: $(grep -c . "$expected")" "$work/$name.txt" || fail "$name: $(cat "$work/$name.txt")"
  diff -u "$expected" "$work/$name.records" || fail "$name: not the records the recording gives"
  count=$((count + 1))
done
[ "$count" -ge 6 ] || fail "only $count recordings"
# The tree of the keyboard's recording: three hubs, none listed, and the
# keyboard with the record the JVM got.
"$bench_tool" show "$work/keyboard-behind-three-hubs.json" >"$work/show.txt" || fail "show failed"
[ "$(grep -c 'not listed: a hub' "$work/show.txt")" -eq 3 ] || fail "show: not three hubs: $(cat "$work/show.txt")"
grep -qF "listed: $(cat "$here/recordings/keyboard-behind-three-hubs.expected")" "$work/show.txt" ||
  fail "show: the keyboard's record is not the one listed: $(cat "$work/show.txt")"
echo "$count real recordings listed as they should be"
