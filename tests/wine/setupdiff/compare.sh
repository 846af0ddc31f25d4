#!/usr/bin/env bash
# Runs the walk's SetupAPI steps over the system's SetupAPI and over the
# simulated stack holding the same devices, and fails on any difference:
# compare.sh <run_in_wine.sh> <prefix> <system side> <simulated side> <work directory>
set -euo pipefail
run=$1 prefix=$2 system=$3 simulated=$4 work=$5
mkdir -p "$work"
# DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, as the walk asks.
flags=0x12
"$run" "$prefix" "$system" "$flags" | tr -d '\r' >"$work/system.txt"
"$run" "$prefix" "$simulated" "$flags" | tr -d '\r' >"$work/simulated.txt"
# Both must have found the devices, or the comparison proves nothing.
for side in system simulated; do
  if grep -q -e "not found" -e "no set" "$work/$side.txt" || ! grep -q "detail size=" "$work/$side.txt"; then
    echo "the $side side did not list the compared devices:" >&2
    cat "$work/$side.txt" >&2
    exit 1
  fi
done
# Wine keeps no bus number or address for a device and fails those reads
# without a last error; the simulated stack answers 13 for an absent one,
# as Windows does. Every other answer is compared.
for side in system simulated; do
  grep -v -e " W BUSNUMBER " -e " W ADDRESS " "$work/$side.txt" >"$work/$side.compared.txt"
done
diff -u "$work/system.compared.txt" "$work/simulated.compared.txt"
