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
             "enum/reaches_sim.h: includes platform/sim/model.h (a platform's own header)"; do
  grep -qF "$fault" <<<"$output" || { echo "the check did not report: $fault"; echo "$output"; exit 1; }
done
# The headers of the walk and the list include each other; the ring's and
# the pages' sources include each other's header, a circle of modules only.
for circle in "^circle: .*enum/walked.h" "^module circle: .*trace/pages -> .*trace/ring"; do
  grep -q "$circle" <<<"$output" || { echo "the check did not report the circle: $circle"; echo "$output"; exit 1; }
done
echo "the check failed and named every fault"
