#!/usr/bin/env bash
# Runs the demo client over a built tree: run_demo.sh BUILD_DIR [demo arguments].
#
# Sets the stage in a scratch directory (TAMBERLYX_DEMO_DIR, default
# BUILD_DIR/demo), whose files are made afresh for every run and left in
# place afterwards:
#   lib/libTamberlyx.so             a copy of the library, so that what lies beside it is the demo's own
#   lib/tolvwinusbdevice64          the companion program: appends its argument to companion.log
#   builtin-bench.json              the built-in bench written out, when no --bench is given
#   bench.json                      the copy of the bench the simulated machine runs over
#   machine/                        the simulated machine's drives (machine/c/temp/... for the trace)
set -uo pipefail

build=$(cd "$1" && pwd)
shift
scratch=${TAMBERLYX_DEMO_DIR:-$build/demo}

fail() {
  echo "demo: $*" >&2
  exit 2
}

# The bench is checked here, before a JVM starts, so that a bad one is one clear line.
bench=""
passed=()
while [ $# -gt 0 ]; do
  case $1 in
    --bench)
      [ $# -ge 2 ] || fail "--bench needs a file"
      bench=$2
      shift 2
      ;;
    *)
      passed+=("$1")
      shift
      ;;
  esac
done

for needed in "$build/libTamberlyx.so" "$build/tamberlyx_bench" "$build/java/classes"; do
  [ -e "$needed" ] || fail "$needed is missing: build the tree first (scripts/demo does)"
done

mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
if [ -n "$bench" ] && [ -f "$bench" ]; then
  case $(cd "$(dirname "$bench")" && pwd)/ in
    "$scratch"/*) fail "$bench is in the demo's scratch directory, which every run clears: copy it elsewhere first" ;;
  esac
fi
# Only what the demo itself puts there is cleared.
rm -rf "$scratch/lib" "$scratch/machine" "$scratch/bench.json" "$scratch/bench.json.next" \
  "$scratch/builtin-bench.json" "$scratch/companion.log"
mkdir -p "$scratch/lib" "$scratch/machine"

if [ -z "$bench" ]; then
  bench=$scratch/builtin-bench.json
  "$build/tamberlyx_bench" builtin >"$bench" || fail "cannot write out the built-in bench"
else
  [ -f "$bench" ] || fail "no bench file at $bench"
  [ -r "$bench" ] || fail "the bench file $bench cannot be read"
fi
if ! reason=$("$build/tamberlyx_bench" check "$bench" 2>&1 >/dev/null); then
  fail "bench refused: ${reason//$'\n'/ }"
fi

cp "$build/libTamberlyx.so" "$scratch/lib/"
cat >"$scratch/lib/tolvwinusbdevice64" <<'COMPANION'
#!/bin/sh
# The demo's companion program: the library runs it with "add" or "remove"
# on every device arrival or removal and waits for it to end.
[ -n "${TAMBERLYX_DEMO_COMPANION_LOG:-}" ] && echo "$1" >>"$TAMBERLYX_DEMO_COMPANION_LOG"
exit 0
COMPANION
chmod +x "$scratch/lib/tolvwinusbdevice64"

export TAMBERLYX_BENCH=$scratch/bench.json
export TAMBERLYX_SIM_ROOT=$scratch/machine
export TAMBERLYX_SIM_SHM=/tamberlyx-demo-$$
export TAMBERLYX_DEMO_COMPANION_LOG=$scratch/companion.log
trap 'rm -f "/dev/shm$TAMBERLYX_SIM_SHM"' EXIT

java -Dtamberlyx.library="$scratch/lib/libTamberlyx.so" -cp "$build/java/classes" \
  com.vantorel.kestra.demo.Demo --bench "$bench" "${passed[@]}"
