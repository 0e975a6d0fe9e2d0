#!/usr/bin/env bash
# Builds the output parser's fuzz target with clang into BUILD_DIR and runs
# it with the recorded ffmpeg logs as seeds. Extra arguments go to libFuzzer,
# e.g. -runs=10000000 or -max_total_time=25.
# Usage: tests/fuzz/run.sh BUILD_DIR [libFuzzer options...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
shift
cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
# New inputs go to a scratch corpus; the seeds stay untouched.
corpus="$build/corpus"
mkdir -p "$corpus"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec "$build/fuzz_outputparser" -max_len=32768 -print_final_stats=1 "$@" "$corpus" "$here/../data/jobs"
