#!/usr/bin/env bash
# How much slower a noisy damaged source converts through an InputItem than
# with ffmpeg alone, whose output goes straight to a file. A third figure
# drains the output at one read of 8191 bytes per 200 ms, to show what a
# throttled reader costs. Usage: bench/jobs_noisy.sh [runs] (default 3).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${BUILD_DIR:-$top/build-bench-jobs}"
runs="${1:-3}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target jobs_convert_one >/dev/null
tool="$build/tests/jobs/jobs_convert_one"
export QT_QPA_PLATFORM=offscreen

ffmpeg -v error -y -f lavfi -i testsrc2=duration=30:size=640x360:rate=25 \
    -f lavfi -i sine=frequency=440:duration=30 \
    -c:v libx264 -preset veryfast -c:a aac -shortest -f mpegts "$work/dense.ts"
"$tool" damage "$work/dense.ts" 2>/dev/null
mkdir -p "$work/out"
args=(-y -i "$work/dense.ts" -crf 24 -r 18 -c:v libx264 -ar 44100 -b:a 128k -c:a aac)

seconds() {
    local s e
    s=$(date +%s.%N)
    "$@" </dev/null >/dev/null 2>&1
    e=$(date +%s.%N)
    awk -v s="$s" -v e="$e" 'BEGIN {printf "%.2f\n", e - s}'
}
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
throttled() {
    ffmpeg "${args[@]}" "$work/out/throttled.mp4" </dev/null 2>&1 |
        perl -e 'while (sysread(STDIN, my $b, 8191)) { select(undef, undef, undef, 0.2) }'
}

ffmpeg "${args[@]}" "$work/out/log.mp4" </dev/null >"$work/log.txt" 2>&1
echo "damaged source: 30 s 640x360 MPEG-TS; ffmpeg wrote $(wc -c <"$work/log.txt") bytes of output"

alone=(); item=(); slow=()
for _ in $(seq "$runs"); do
    alone+=("$(seconds ffmpeg "${args[@]}" "$work/out/alone.mp4")")
    item+=("$("$tool" convert "$work/dense.ts" "$work/out" 2>/dev/null | cut -d" " -f1)")
    slow+=("$(seconds throttled)")
done
a=$(printf '%s\n' "${alone[@]}" | median)
i=$(printf '%s\n' "${item[@]}" | median)
t=$(printf '%s\n' "${slow[@]}" | median)
printf 'ffmpeg alone:        %6.2f s\n' "$a"
ratio() { awk -v x="$1" -v y="$2" 'BEGIN {printf "%.2f", x / y}'; }
printf 'through InputItem:   %6.2f s  (ratio %s)\n' "$i" "$(ratio "$i" "$a")"
printf '8191 bytes / 200 ms: %6.2f s  (ratio %s)\n' "$t" "$(ratio "$t" "$a")"
