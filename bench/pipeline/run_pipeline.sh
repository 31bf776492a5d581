#!/bin/bash
# CPU time per recorded frame of the program's pipeline against the ffmpeg
# command line doing the same work: six 960x360 30 fps test pictures in a
# 2 x 3 grid of 1920x1080, the same PNG logo, a caption and a clock,
# H.264 at 4000 Kbps with the "Best Speed" software encoder, 300 frames to
# MP4. The reference encodes with x264's superfast preset, while "Best
# Speed" is ultrafast: ffmpeg therefore also runs with ultrafast, and the
# ratio at equal encoder settings is printed before the one against the
# reference, which comes last (target <= 0.8).
#   run_pipeline.sh [build folder]      (default: build beside the sources)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
bench=$build/bin/bench_pipeline
logo=$build/bin/vtlayout/logo_wordmark.png
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
frames=300

for need in "$bench" "$logo" "$font" /usr/bin/time; do
    if [ ! -e "$need" ]; then
        echo "missing: $need" >&2
        exit 1
    fi
done
command -v ffmpeg >/dev/null || { echo "missing: ffmpeg" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The program: it measures its own CPU time across the recording.
VISTREL_VIRTUAL_VIDEO=6 VISTREL_NO_V4L2=1 QT_QPA_PLATFORM=offscreen \
    "$bench" --frames "$frames" --logo "$logo" >"$work/vistrel.txt" 2>"$work/vistrel.err" || {
    cat "$work/vistrel.err" >&2
    exit 1
}
grep -v '^vistrel_cpu_ms_per_frame' "$work/vistrel.txt"
vistrel=$(awk '/^vistrel_cpu_ms_per_frame/ { print $2 }' "$work/vistrel.txt")

# The reference. The logo is a single picture that the overlay keeps
# showing; the clock is redrawn for every frame as the program's is.
grid='0_0|w0_0|0_h0|w0_h0|0_h0+h2|w0_h0+h2'
caption="drawtext=fontfile=$font:text='Evening news from the studio':fontsize=48:fontcolor=white"
caption="$caption:borderw=2:bordercolor=black:x=(w-text_w)/2:y=h-text_h-10"
clock="drawtext=fontfile=$font:text='%{localtime\\:%Y-%m-%d %H\\\\\\:%M\\\\\\:%S}':fontsize=36:fontcolor=white:x=10:y=10"
inputs=()
for i in 0 1 2 3 4 5; do
    inputs+=(-f lavfi -i "testsrc2=size=960x360:rate=30")
done
# Runs the command line with the given x264 preset and prints its frames
# and CPU; leaves the milliseconds per frame in $per_frame.
run_ffmpeg() {
    local preset=$1 count ms
    /usr/bin/time -f "%U %S" -o "$work/ffmpeg.time" \
        ffmpeg -hide_banner -nostdin -loglevel error -y "${inputs[@]}" -i "$logo" \
        -filter_complex "[0:v][1:v][2:v][3:v][4:v][5:v]xstack=inputs=6:layout=$grid[g];[g][6:v]overlay=W-w-10:10[l];[l]$caption,$clock,format=yuv420p[v]" \
        -map "[v]" -frames:v "$frames" -c:v libx264 -preset "$preset" -tune zerolatency -b:v 4000k \
        "$work/ffmpeg.mp4"
    count=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
        -of csv=p=0 "$work/ffmpeg.mp4")
    ms=$(awk '{ print ($1 + $2) * 1000 }' "$work/ffmpeg.time")
    per_frame=$(awk -v ms="$ms" -v n="$count" 'BEGIN { printf "%.3f", ms / n }')
    echo "ffmpeg ($preset): $count frames recorded, $ms ms CPU, $per_frame ms/frame"
}

run_ffmpeg ultrafast
awk -v a="$vistrel" -v b="$per_frame" 'BEGIN { printf "ratio vistrel / ffmpeg at the same preset (ultrafast): %.2f\n", a / b }'
run_ffmpeg superfast
awk -v a="$vistrel" -v b="$per_frame" 'BEGIN { printf "ratio vistrel / ffmpeg (superfast, the reference) CPU per frame: %.2f (target <= 0.8)\n", a / b }'
