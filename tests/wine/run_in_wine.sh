#!/usr/bin/env bash
# Runs one cross-built program under Wine, headless, in the build
# directory's prefix: run_in_wine.sh <prefix> <program> [arguments...]
set -euo pipefail
prefix=$1
shift
[ -f "$prefix/.tamberlyx-ready" ] || "$(dirname "$0")/make_wine_prefix.sh" "$prefix"

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# The simulated machine keeps its drives in a fresh directory of this run;
# Wine's drive Z: is the build machine's root.
work=$(mktemp -d "$prefix.run.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TAMBERLYX_SIM_ROOT="Z:$work/machine"
mkdir -p "$work/machine"
cd "$(dirname "$1")"
wine "$@"
