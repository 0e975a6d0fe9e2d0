#!/usr/bin/env bash
# Runs the start-up probe on the current display: cold (page cache dropped
# first, when this user may) and warm, and prints the medians.
# Usage: bench/startup_runs.sh BENCH_STARTUP WORKDIR
set -euo pipefail
probe=$1
mkdir -p "$2/home"
cd "$2"
export HOME="$2/home"
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
once() { "$probe" "$(date +%s%N)"; }

cold=()
if sync && echo 3 2>/dev/null >/proc/sys/vm/drop_caches; then
    for _ in 1 2 3; do
        sync
        echo 3 >/proc/sys/vm/drop_caches
        cold+=("$(once)")
    done
    echo "cold (page cache dropped), 3 runs: ${cold[*]} ms; median $(printf '%s\n' "${cold[@]}" | median) ms"
else
    echo "cold: cannot drop the page cache as this user"
fi
once >/dev/null
warm=()
for _ in $(seq 10); do warm+=("$(once)"); done
echo "warm, 10 runs after one more: ${warm[*]} ms; median $(printf '%s\n' "${warm[@]}" | median) ms"
