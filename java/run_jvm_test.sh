#!/usr/bin/env bash
# Runs one JUnit test class through a real JVM with -Xcheck:jni, over a
# simulated machine of its own, and fails on any JNI warning the JVM prints
# (it prints them to standard output and still exits 0). Which bench the
# class runs over is the class's own choice (its OverBench annotation).
set -uo pipefail
java=$1 library=$2 classpath=$3 test_class=$4 work=$5
rm -rf "$work" && mkdir -p "$work"
export TAMBERLYX_SIM_ROOT="$work/machine"
export TAMBERLYX_SIM_SHM="/tamberlyx-test-$$"
output="$work/jvm-output.txt"
"$java" -Xcheck:jni -Dtamberlyx.library="$library" -Dtamberlyx.work="$work" \
  -Dtamberlyx.test.benches="$(cd "$(dirname "$0")" && pwd)/test/benches" \
  -jar /usr/share/java/junit-platform-console-standalone.jar \
  --class-path "$classpath" --select-class "$test_class" --details=tree --disable-banner --disable-ansi-colors --fail-if-no-tests >"$output" 2>&1
status=$?
cat "$output"
rm -f "/dev/shm${TAMBERLYX_SIM_SHM}"
if grep -E "WARNING in native method|FATAL ERROR|exceeds capacity" "$output" >/dev/null; then
  echo "the JVM reported a JNI problem"
  exit 1
fi
exit $status
