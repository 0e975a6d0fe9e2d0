#!/usr/bin/env bash
# Sets everything up, builds the converter and its tests with AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs the whole suite through CTest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-tests"

"$top/scripts/setup.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" "$@"
