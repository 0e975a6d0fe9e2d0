#!/usr/bin/env bash
# Builds the benchmarks (Release, no sanitizers) and prints their figures:
#   batch    10 clips of 30 s through the window's queue against a plain
#            ffmpeg loop, with the GUI thread's longest stall
#   short    the same for 20 clips of 3 s, where the time between jobs shows,
#            against the better of the plain loop one and two at a time
#   medium   the same for 4 clips of 30 s at 1280x720
#   parallel the short and the medium clips by a plain loop, one, two and
#            three at a time
#   estimate the time left the window shows for 10 equal clips, against the
#            time really left
#   vectors  the 20 short clips by a plain loop, their vectors as built before
#            the filters that make every file play against today's
#   maps     the same, ffmpeg's own choice of streams against every stream
#            named from the source's record
#   copy     10 H.264 + AAC clips of 60 s at 1080p in .mkv to .mp4 at 默认
#            through the window, what fits copied, against a plain loop of
#            ffmpeg -c copy; and two of them encoded as before against copied
#   nocopy   6 clips of 10 s at 640x360 in 4:4:4 with MP3, of which nothing is copied, at
#            默认 through the window with copying allowed and not
#   noisy    the same as batch for one damaged clip that floods ffmpeg's output
#   chatty   one job whose stand-in transcoder writes 100 MB of lines
#   scale    1,000 and 5,000 files listed and cleared: time and resident
#            memory; the cost of a row at 200 to 20,000 rows; and records
#   records  5,000 files listed while what they hold is read behind the list
#   startup  process start to the first painted window, cold and warm
#   store    the saved list of 5,000 rows: load, a change, a job's end
# Usage: bench/run.sh [batch|short|medium|parallel|estimate|vectors|maps|copy|nocopy|noisy|chatty|scale|records|startup|store|all]
# (default all).
# BUILD_DIR overrides the build tree (default build-bench-release).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$top/build-bench-release}"
what="${1:-all}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BUILD_BENCH=ON \
    -DVANTOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target bench_queue bench_scale bench_startup bench_store chatty_writer >/dev/null
bin="$build/bench"
export QT_QPA_PLATFORM=offscreen

echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p'), $(ffmpeg -version | head -1 | cut -d' ' -f1-3)"

clip() { # clip PATH [format [seconds [size]]]
    local s="${3:-30}"
    ffmpeg -v error -y -f lavfi -i "testsrc2=duration=$s:size=${4:-640x360}:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=$s" \
        -c:v libx264 -preset veryfast -c:a aac -shortest ${2:+-f "$2"} "$1"
}

shortclips() {
    mkdir -p "$work/short"
    for i in $(seq -w 1 20); do
        [ -f "$work/short/clip$i.mkv" ] || clip "$work/short/clip$i.mkv" "" 3
    done
}

batch() {
    echo "== batch: 10 clips, 30 s of 640x360 each, default settings (mp4)"
    for i in $(seq -w 1 10); do clip "$work/clip$i.mkv"; done
    mkdir -p "$work/out"
    "$bin/bench_queue" compare --target 1.01 "$work/out" 3 "$work"/clip*.mkv 2>/dev/null
}

short() {
    echo "== short: 20 clips, 3 s of 640x360 each, default settings (mp4)"
    shortclips
    mkdir -p "$work/out"
    "$bin/bench_queue" compare --target 1.02 --target-ms 10 "$work/out" 5 "$work"/short/clip*.mkv 2>/dev/null
}

mediumclips() {
    mkdir -p "$work/medium"
    for i in 1 2 3 4; do
        [ -f "$work/medium/clip$i.mkv" ] || clip "$work/medium/clip$i.mkv" "" 30 1280x720
    done
}

medium() {
    echo "== medium: 4 clips, 30 s of 1280x720 each, default settings (mp4)"
    mediumclips
    mkdir -p "$work/out"
    "$bin/bench_queue" compare --target 1.02 "$work/out" 3 "$work"/medium/clip*.mkv 2>/dev/null
}

parallel() {
    echo "== parallel: the 20 short clips by a plain loop, one, two and three at a time"
    shortclips
    mkdir -p "$work/out"
    "$bin/bench_queue" parallel "$work/out" 3 "$work"/short/clip*.mkv 2>/dev/null
    echo "== parallel: the 4 medium clips by a plain loop, one, two and three at a time"
    mediumclips
    "$bin/bench_queue" parallel "$work/out" 3 "$work"/medium/clip*.mkv 2>/dev/null
}

estimate() {
    echo "== estimate: 10 equal clips, 20 s of 640x360 each, default settings (mp4)"
    mkdir -p "$work/equal" "$work/out"
    for i in $(seq -w 1 10); do clip "$work/equal/clip$i.mkv" "" 20; done
    "$bin/bench_queue" estimate "$work/out" "$work"/equal/clip*.mkv 2>/dev/null
}

vectors() {
    echo "== vectors: the 20 short clips' vectors before the filters and now, by a plain loop"
    shortclips
    mkdir -p "$work/out"
    "$bin/bench_queue" vectors --target 1.02 "$work/out" 7 "$work"/short/clip*.mkv 2>/dev/null
}

maps() {
    echo "== maps: the 20 short clips' vectors with ffmpeg's own choice of streams and with every stream named, by a plain loop"
    shortclips
    mkdir -p "$work/out"
    "$bin/bench_queue" maps --target 1.02 "$work/out" 7 "$work"/short/clip*.mkv 2>/dev/null
}

copy() {
    echo "== copy: 10 clips of 60 s at 1920x1080 (H.264 ultrafast + AAC in .mkv) to .mp4 at 默认"
    mkdir -p "$work/copy" "$work/out"
    ffmpeg -v error -y -f lavfi -i "testsrc2=duration=60:size=1920x1080:rate=25" \
        -f lavfi -i "sine=frequency=440:duration=60" \
        -c:v libx264 -preset ultrafast -c:a aac -shortest "$work/copy/clip01.mkv"
    for i in $(seq -w 2 10); do cp "$work/copy/clip01.mkv" "$work/copy/clip$i.mkv"; done
    "$bin/bench_queue" copy --target 1.5 "$work/out" 5 2 "$work"/copy/clip*.mkv 2>/dev/null
}

nocopy() {
    # MP3 sound, so that AAC encodes it as well: nothing is copied.
    echo "== nocopy: 6 clips of 10 s at 640x360 in 4:4:4 (H.264 ultrafast + MP3 in .mkv) to .mp4 at 默认"
    mkdir -p "$work/full" "$work/out"
    for i in 1 2 3 4 5 6; do
        ffmpeg -v error -y -f lavfi -i "testsrc2=duration=10:size=640x360:rate=25" \
            -f lavfi -i "sine=frequency=440:duration=10" -pix_fmt yuv444p \
            -c:v libx264 -preset ultrafast -c:a libmp3lame -shortest "$work/full/clip$i.mkv"
    done
    "$bin/bench_queue" nocopy --target 1.02 "$work/out" 5 "$work"/full/clip*.mkv 2>/dev/null
}

chatty() {
    echo "== chatty: one job whose transcoder writes 100 MB in lines of 200 bytes"
    "$bin/bench_queue" chatty 5 "$bin/chatty_writer" 100 2>/dev/null
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
    "$bin/bench_scale" 1000 5 2 150 2>/dev/null
    "$bin/bench_scale" 5000 3 1 200 2>/dev/null
    echo "== scale: the cost of a row by the size of the list, offscreen"
    "$bin/bench_scale" perrow 200 1000 5000 20000 2>/dev/null
    "$bin/bench_scale" perrow-laidout 200 1000 5000 20000 2>/dev/null
    echo "== scale: 5,000 rows saved by one window and back in the next"
    "$bin/bench_scale" restore 5000 3 2>/dev/null
    records
    echo "== scale: on Xvfb"
    "$top/tests/xvfb-run.sh" "$bin/bench_scale" 1000 5 2 150 2>/dev/null
}

records() {
    echo "== records: 5,000 links to one 3 s clip listed, their streams read in the background"
    shortclips
    "$bin/bench_scale" lengths 5000 "$work/short/clip01.mkv" 2>/dev/null
}

startup() {
    echo "== startup: launch to the first painted frame, on Xvfb"
    "$top/tests/xvfb-run.sh" "$top/bench/startup_runs.sh" "$bin/bench_startup" "$work/start" 2>/dev/null
}

store() {
    # In the build tree, on the disk a home folder is on: a tmpfs syncs for free.
    echo "== store: the saved list of 5,000 rows, in $build"
    "$bin/bench_store" "$build/bench-store" 5000 9 2>/dev/null
}

case "$what" in
    all) batch; short; medium; parallel; estimate; vectors; maps; copy; nocopy; noisy; chatty; scale; startup; store ;;
    batch | short | medium | parallel | estimate | vectors | maps | copy | nocopy | noisy | chatty | scale | records | startup | store) "$what" ;;
    *) echo "usage: $0 [batch|short|medium|parallel|estimate|vectors|maps|copy|nocopy|noisy|chatty|scale|records|startup|store|all]" >&2
       exit 2 ;;
esac
