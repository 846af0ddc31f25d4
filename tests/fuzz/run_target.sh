#!/usr/bin/env bash
# Runs one fuzz target the way ctest and scripts/fuzz use it.
#
#   run_target.sh replay TARGET DIR...                 every input in the directories, once
#   run_target.sh fuzz TARGET SECONDS WORKDIR DIR...   fuzz for SECONDS from the inputs in
#                                                      the directories and WORKDIR/corpus;
#                                                      new inputs go to WORKDIR/corpus,
#                                                      findings to WORKDIR/findings
#   run_target.sh fuzz-fresh ...                       the same, from an empty WORKDIR/corpus
#                                                      (so a test run always costs the same)
# Extra libFuzzer options may be given in FUZZ_OPTIONS.
set -euo pipefail

mode=$1
target=$2
shift 2

# Leaks are the target's own business: it checks the simulated machine's
# accounting itself; the sanitizers stop at the first report.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

case "$mode" in
  replay)
    inputs=()
    for dir in "$@"; do
      [ -d "$dir" ] || continue
      while IFS= read -r -d '' file; do inputs+=("$file"); done \
        < <(find "$dir" -type f ! -name '*.md' -print0 | sort -z)
    done
    if [ ${#inputs[@]} -eq 0 ]; then
      echo "no inputs to replay"
      exit 0
    fi
    echo "replaying ${#inputs[@]} inputs"
    # libFuzzer runs each file it is given once and stops at the first
    # failure; the lines naming every input are left out of the log.
    log=$(mktemp)
    status=0
    "$target" -timeout=60 "${inputs[@]}" >"$log" 2>&1 || status=$?
    grep -v -e '^Running: ' -e '^Executed .* in [0-9]* ms$' "$log" || true
    rm -f "$log"
    exit $status
    ;;
  fuzz | fuzz-fresh)
    seconds=$1
    work=$2
    shift 2
    if [ "$mode" = fuzz-fresh ]; then rm -rf "$work/corpus"; fi
    mkdir -p "$work/corpus" "$work/findings"
    seeds=()
    for dir in "$@"; do [ -d "$dir" ] && seeds+=("$dir"); done
    # ${FUZZ_OPTIONS} is split on purpose: it holds several options.
    # shellcheck disable=SC2086
    "$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/findings/" ${FUZZ_OPTIONS:-} "$work/corpus" "${seeds[@]}"
    ;;
  *)
    echo "usage: $0 replay TARGET DIR... | fuzz[-fresh] TARGET SECONDS WORKDIR DIR..." >&2
    exit 2
    ;;
esac
