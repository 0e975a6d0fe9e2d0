#!/usr/bin/env bash
# Builds the benchmarks (Release, no sanitizers) and prints their figures:
#   batch    10 clips through the window's queue against a plain ffmpeg loop,
#            with the GUI thread's longest stall
#   noisy    the same for one damaged clip that floods ffmpeg's output
#   scale    1,000 files listed and cleared: time and resident memory
#   startup  process start to the first painted window, cold and warm
# Usage: bench/run.sh [batch|noisy|scale|startup|all] (default all).
# BUILD_DIR overrides the build tree (default build-bench-release).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$top/build-bench-release}"
what="${1:-all}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BUILD_BENCH=ON \
    -DVANTOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target bench_queue bench_scale bench_startup >/dev/null
bin="$build/bench"
export QT_QPA_PLATFORM=offscreen

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(ffmpeg -version | head -1 | cut -d' ' -f1-3)"

clip() { # clip PATH [format]
    ffmpeg -v error -y -f lavfi -i testsrc2=duration=30:size=640x360:rate=25 \
        -f lavfi -i sine=frequency=440:duration=30 \
        -c:v libx264 -preset veryfast -c:a aac -shortest ${2:+-f "$2"} "$1"
}

batch() {
    echo "== batch: 10 clips, 30 s of 640x360 each, default settings (mp4)"
    for i in $(seq -w 1 10); do clip "$work/clip$i.mkv"; done
    mkdir -p "$work/out"
    "$bin/bench_queue" compare "$work/out" 3 "$work"/clip*.mkv 2>/dev/null
}

noisy() {
    echo "== noisy: one damaged 30 s MPEG-TS clip"
    # The converter lists .mpg, not .ts; ffmpeg goes by the content.
    clip "$work/noisy.mpg" mpegts
    "$bin/bench_queue" damage "$work/noisy.mpg"
    mkdir -p "$work/out"
    echo "ffmpeg writes $(ffmpeg -y -i "$work/noisy.mpg" -f null - 2>&1 </dev/null | wc -c) bytes of output for it"
    "$bin/bench_queue" compare "$work/out" 9 "$work/noisy.mpg" 2>/dev/null
}

scale() {
    echo "== scale: offscreen"
    "$bin/bench_scale" 1000 5 2>/dev/null
    echo "== scale: on Xvfb"
    "$top/tests/xvfb-run.sh" "$bin/bench_scale" 1000 5 2>/dev/null
}

startup() {
    echo "== startup: launch to the first painted frame, on Xvfb"
    "$top/tests/xvfb-run.sh" "$top/bench/startup_runs.sh" "$bin/bench_startup" "$work/start" 2>/dev/null
}

case "$what" in
    all) batch; noisy; scale; startup ;;
    batch | noisy | scale | startup) "$what" ;;
    *) echo "usage: $0 [batch|noisy|scale|startup|all]" >&2; exit 2 ;;
esac
