#!/usr/bin/env bash
# A Linux desk recorded by umockdev (a keyboard behind three hubs), imported
# as a bench and listed by a real JVM through the peer class: the keyboard
# alone, as a HID device with a supported driver, none of the hubs.
set -euo pipefail
bench_tool=$1 library=$2 classes=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAILED: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"
"$bench_tool" import-umockdev "$here/keyboard-behind-three-hubs.umockdev" >"$work/bench.json"
trap 'rm -f /dev/shm/tamberlyx-import-$$' EXIT
TAMBERLYX_BENCH="$work/bench.json" TAMBERLYX_SIM_ROOT="$work/machine" TAMBERLYX_SIM_SHM="/tamberlyx-import-$$" \
  java -Xcheck:jni -Dtamberlyx.library="$library" -cp "$classes" "$here/../package/ListBench.java" >"$work/jvm.txt" 2>&1 ||
  fail "the JVM failed: $(cat "$work/jvm.txt")"
! grep -E "WARNING in native method|FATAL ERROR" "$work/jvm.txt" || fail "the JVM reported a JNI problem"
grep -qx "devices: 1" "$work/jvm.txt" || fail "not the keyboard alone: $(cat "$work/jvm.txt")"
grep -qx "1:=046D:=C31C:=6422:=Logi\\\\Tech:=USB Keyboard:=KB-7:=x:=h:=end" "$work/jvm.txt" ||
  fail "the keyboard is not a HID device with a supported driver: $(cat "$work/jvm.txt")"
echo "imported keyboard listed alone as a HID device"
