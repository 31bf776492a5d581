#!/bin/bash
# CPU time per composed frame with six 1920x1080 MJPEG cameras at 30 fps in
# the six-grid (2 x 3 channels of 960x360) of a 1920x1080 30 fps output,
# against the ffmpeg command line decoding the same six MJPEG streams into
# the same grid. The streams are made here, 4:2:2 as USB cameras send them.
# The ratio is printed last (target <= 0.5), counting every camera picture
# as decoded even when a loaded machine made the captures skip some.
#   run_mjpeg.sh [build folder]      (default: build beside the sources)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
bench=$build/bin/bench_mjpeg
frames=300

for need in "$bench" /usr/bin/time; do
    if [ ! -e "$need" ]; then
        echo "missing: $need" >&2
        exit 1
    fi
done
command -v ffmpeg >/dev/null || { echo "missing: ffmpeg" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One second of a moving picture per camera, each of its own colours; both
# sides loop over them.
streams=()
for i in 0 1 2 3 4 5; do
    ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30" \
        -vf "hue=h=$((i * 60))" -frames:v 30 -pix_fmt yuvj422p -c:v mjpeg -q:v 4 -f mjpeg "$work/camera$i.mjpeg"
    streams+=("$work/camera$i.mjpeg")
done

"$bench" --frames "$frames" "${streams[@]}" >"$work/vistrel.txt" 2>"$work/vistrel.err" || {
    cat "$work/vistrel.err" >&2
    exit 1
}
grep -v '^vistrel_cpu_ms_per_frame' "$work/vistrel.txt"
vistrel=$(awk '$1 == "vistrel_cpu_ms_per_frame" { print $2 }' "$work/vistrel.txt")
vistrel_all=$(awk '$1 == "vistrel_cpu_ms_per_frame_all_decoded" { print $2 }' "$work/vistrel.txt")
echo "vistrel: $vistrel ms CPU per composed frame, $vistrel_all with every camera picture decoded"

# The reference: every picture decoded at full size, scaled into its cell,
# stacked and converted to the program's packed 4:2:2.
grid='0_0|w0_0|0_h0|w0_h0|0_h0+h2|w0_h0+h2'
inputs=()
scales=""
for i in 0 1 2 3 4 5; do
    inputs+=(-stream_loop -1 -c:v mjpeg -f mjpeg -framerate 30 -i "${streams[$i]}")
    scales="$scales[$i:v]setpts=N/(30*TB),scale=960:360[s$i];"
done
/usr/bin/time -f "%U %S" -o "$work/ffmpeg.time" \
    ffmpeg -hide_banner -nostdin -loglevel error -y "${inputs[@]}" \
    -filter_complex "${scales}[s0][s1][s2][s3][s4][s5]xstack=inputs=6:layout=$grid,format=yuyv422[v]" \
    -map "[v]" -frames:v "$frames" -f null -
ms=$(awk '{ print ($1 + $2) * 1000 }' "$work/ffmpeg.time")
per_frame=$(awk -v ms="$ms" -v n="$frames" 'BEGIN { printf "%.3f", ms / n }')
echo "ffmpeg: $frames frames, $ms ms CPU, $per_frame ms/frame"
awk -v a="$vistrel" -v b="$per_frame" \
    'BEGIN { printf "ratio vistrel / ffmpeg CPU per composed frame as measured: %.2f\n", a / b }'
# A loaded machine makes the captures skip pictures; this one counts them all.
awk -v a="$vistrel_all" -v b="$per_frame" \
    'BEGIN { printf "ratio vistrel / ffmpeg CPU per composed frame, every picture decoded: %.2f (target <= 0.5)\n", a / b }'
