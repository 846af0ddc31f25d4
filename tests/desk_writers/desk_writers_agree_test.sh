#!/usr/bin/env bash
# The Java desk builder and the native bench writer agree: a desk built in
# Java is read by the simulated machine, captured through the platform calls
# and written out by the native writer, and the bench reader makes the same
# machine of both texts: the same tree and the same records listed.
set -euo pipefail
bench_tool=$1 classes=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAILED: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"
trap 'rm -f /dev/shm/tamberlyx-desk-writers-$$' EXIT
java -cp "$classes" "$here/WriteDesk.java" >"$work/java.json" || fail "the desk was not written"
TAMBERLYX_BENCH="$work/java.json" TAMBERLYX_SIM_ROOT="$work/machine" TAMBERLYX_SIM_SHM="/tamberlyx-desk-writers-$$" \
  "$bench_tool" capture >"$work/native.json" || fail "the desk was not captured"
"$bench_tool" show "$work/java.json" | sed 1d >"$work/java.txt" || fail "show refused the Java desk"
"$bench_tool" show "$work/native.json" | sed 1d >"$work/native.txt" || fail "show refused the native bench"
# What both must hold, so that an empty tree cannot pass.
[ "$(grep -c '^controller' "$work/java.txt")" -eq 2 ] || fail "not two controllers: $(cat "$work/java.txt")"
[ "$(grep -c 'listed: ' "$work/java.txt")" -ge 4 ] || fail "too few devices listed: $(cat "$work/java.txt")"
diff -u "$work/java.txt" "$work/native.txt" || fail "the two writers' benches read as different machines"
echo "the Java desk and its native rewrite read as the same machine"
