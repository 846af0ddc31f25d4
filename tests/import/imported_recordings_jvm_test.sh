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

# check warns about a device behind more hubs than the walk goes through:
# fifteen hubs below the root hub are walked, a sixteenth is not.
deep_bench() {
  local device='{"vendorId": "0x1A2B", "productId": "0x0001", "serialNumber": "DEEP", "kind": "winusb"}' i
  for ((i = 0; i < $1; i++)); do
    device="{\"vendorId\": \"0x2C3D\", \"productId\": \"0x4100\", \"hub\": {\"portCount\": 1, \"ports\": {\"1\": $device}}}"
  done
  echo "{\"controllers\": [{\"rootHub\": {\"portCount\": 1, \"ports\": {\"1\": $device}}}]}"
}
deep_bench 15 >"$work/deep15.json"
deep_bench 16 >"$work/deep16.json"
! "$bench_tool" check "$work/deep15.json" | grep -q warning || fail "check warns about 15 hubs"
"$bench_tool" check "$work/deep16.json" | grep -q "1A2B:0001 will not be listed: behind more hubs than the walk goes through" ||
  fail "check does not warn about 16 hubs: $("$bench_tool" check "$work/deep16.json")"
echo "$count real recordings listed as they should be; check warns about a device too deep"
