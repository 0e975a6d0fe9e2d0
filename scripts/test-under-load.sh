#!/usr/bin/env bash
# Runs the whole suite once while two busy loops keep both cores of a
# two-core machine busy, then the tests that need an X server three times in a
# row: every wait in a test must hold on a machine that is doing other work.
# Extra arguments go to the first ctest run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

hogs=()
trap 'kill "${hogs[@]}" 2>/dev/null || true' EXIT
for _ in $(seq 1 "$(nproc)"); do
    bash -c 'while :; do :; done' &
    hogs+=($!)
done

"$top/scripts/test.sh" "$@"
cd "$top/build-tests"
ctest --output-on-failure --parallel "$(nproc)" -L xvfb --repeat until-fail:3
