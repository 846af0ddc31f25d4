#!/usr/bin/env bash
# The demo end to end, as a newcomer runs it: over the built-in bench every
# section shows up and works; a missing or broken bench, and a library that
# cannot be loaded, each give one clear line and a failing exit status.
#   demo_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$build/demo-test
rm -rf "$work" && mkdir -p "$work"
export TAMBERLYX_DEMO_DIR=$work/run
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

expect_text() {  # expect_text NAME FILE TEXT...
  local name=$1 file=$2
  shift 2
  local text
  for text in "$@"; do
    grep -qF -- "$text" "$file" || fail "$name: no \"$text\" in the output"
  done
}

expect_one_clear_line() {  # expect_one_clear_line NAME STATUS STDERR_FILE STDOUT_FILE TEXT
  local name=$1 status=$2 stderr=$3 stdout=$4 text=$5
  [ "$status" -ne 0 ] || fail "$name: exit status 0"
  [ "$(wc -l <"$stderr")" -eq 1 ] || fail "$name: $(wc -l <"$stderr") lines on standard error, not one"
  grep -qF -- "$text" "$stderr" || fail "$name: standard error does not say \"$text\""
  [ ! -s "$stdout" ] || fail "$name: the demo printed on standard output"
  ! grep -q "Exception\|	at " "$stderr" "$stdout" || fail "$name: a stack trace"
}

demo() {  # demo NAME [arguments]: runs the demo, output in $work/NAME.out and .err
  local name=$1
  shift
  "$root/scripts/lib/run_demo.sh" "$build" "$@" >"$work/$name.out" 2>"$work/$name.err"
}

# The whole demo over the built-in bench, with the trace on.
demo full --trace
status=$?
[ $status -eq 0 ] || fail "full: exit status $status"
[ ! -s "$work/full.err" ] || fail "full: standard error: $(cat "$work/full.err")"
! grep -q "FAILED" "$work/full.out" || fail "full: $(grep FAILED "$work/full.out")"
expect_text full "$work/full.out" \
  "== Library" "usbInitialize() -> 0" \
  "== Devices (all vendors)" "1A2B:0001" "Kestra Loopback" "3E4F:0107" "Datenschreiber" \
  "1:=1A2B:=0001:=0100:=Vantorel Labs:=Kestra Loopback:=KL-000117:=x:=b:=end" \
  "== Plug and unplug" "Kestra Field Probe:=KF-DEMO-1:=x:=b:=end   (went)" \
  "Kestra Field Probe:=KF-DEMO-1:=x:=b:=end   (came back)" \
  "companion program ran: tolvwinusbdevice64.exe remove" "companion program ran: tolvwinusbdevice64.exe add" \
  "== WinUSB device" "echoed: \"Hello from Tamberlyx\"" "4194304 bytes sent and received back unchanged" \
  "device descriptor: 12 01 00 02 00 00 00 40 2B 1A 01 00 00 01 01 02 03 01" "product: \"Kestra Loopback\"" \
  "== HID devices" "usbWriteInterruptPipe(0, 1, 0, 64, 1000, data) -> 65" "the echo matches the report sent." \
  "usbReadInterruptPipe(0, 7, 0, 64, 250, data) -> -7 (TIMED_OUT" \
  "== Closing" "usbReleaseDeviceList(0) -> 0" "usbRelease(0) -> 0" \
  "== Trace" "demo-trace_00.txt" "================================" \
  "Done: every step worked."
# Each device the demo opened is closed again.
for index in 0 1 7; do
  expect_text full "$work/full.out" "usbCloseDevice(0, $index) -> 0"
done
grep -q "^remove$" "$work/run/companion.log" && grep -q "^add$" "$work/run/companion.log" ||
  fail "full: the companion log does not hold both runs"

# One vendor: the table holds only that vendor's devices.
demo vendor --vendor 3e4f
status=$?
[ $status -eq 0 ] || fail "vendor: exit status $status"
table=$(sed -n '/^== Devices of vendor 3E4F/,/^== Plug/p' "$work/vendor.out")
grep -q "3E4F:0107" <<<"$table" || fail "vendor: the vendor's device is not listed"
! grep -q "1A2B:" <<<"$table" || fail "vendor: another vendor's device is listed"

# Benches the demo cannot run over.
demo missing --bench "$work/no-such-bench.json"
expect_one_clear_line missing $? "$work/missing.err" "$work/missing.out" "demo: no bench file at $work/no-such-bench.json"

printf '{\n  "controllers": [\n    {"rootHub": {"ports": {"1": {"vendorId": "0x1A2B"}}}}\n  ]\n}\n' >"$work/broken.json"
demo broken --bench "$work/broken.json"
expect_one_clear_line broken $? "$work/broken.err" "$work/broken.out" "demo: bench refused: $work/broken.json:3:"

# A library that cannot be loaded.
java -Dtamberlyx.library="$work/no-such-library.so" -cp "$build/java/classes" com.vantorel.kestra.demo.Demo \
  >"$work/nolib.out" 2>"$work/nolib.err"
expect_one_clear_line nolib $? "$work/nolib.err" "$work/nolib.out" "demo: cannot load the native library"

if [ $failures -ne 0 ]; then
  echo "--- output of the full run:"
  cat "$work/full.out"
  exit 1
fi
echo "the demo works end to end"
