#!/usr/bin/env bash
# The include-graph check over a tree built to break each of its rules: it
# must fail, and name every fault.
set -uo pipefail
checker=$1 tree=$2
output=$("$checker" "$tree")
status=$?
[ $status -eq 1 ] || { echo "the check exited with $status, not 1:"; echo "$output"; exit 1; }
for fault in "enum/walked.h: includes devlist/listed.h (a layer above)" \
             "devlist/sideways.h: includes access/opened.h (a sibling layer)" \
             "enum/reaches_sim.h: includes platform/sim/model.h (a platform's own header)" \
             "circle: "; do
  grep -qF "$fault" <<<"$output" || { echo "the check did not report: $fault"; echo "$output"; exit 1; }
done
echo "the check failed and named every fault"
