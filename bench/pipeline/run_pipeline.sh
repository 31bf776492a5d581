#!/bin/bash
# CPU time per recorded frame of the program's pipeline against the ffmpeg
# and GStreamer command lines doing the same work: six 960x360 30 fps camera
# pictures in a 2 x 3 grid of 1920x1080, the same PNG logo, a caption and a
# clock, H.264 at 4000 Kbps (constant, one-second buffer) with a key frame
# every 300 frames and the "Best Speed" software encoder, 300 frames to
# MP4. "Best Speed" is x264's ultrafast preset, so both references first run
# with ultrafast and the ratios at equal encoder settings are printed
# (target <= 0.9 each); the ratio against ffmpeg's superfast, the original
# reference, comes after them (target <= 0.8). CPU is the user + system time
# of the whole process divided by the frames found in its file, for all
# three.
#
# x264's cost depends on the pictures, so all three encode the same ones:
# the program its six virtual cameras, the references the same cameras'
# frames written to raw files beforehand (bench_camera_frames, the program's
# own drawing code) and read in a loop. The middle cells of a frame of each
# reference are compared with the program's (PSNR; the run fails below
# 25 dB). Last, the floor: x264 alone encoding the same composed
# frames from memory (bench_encoder_floor), each pipeline's ratio to it and
# its CPU above it per frame.
#   run_pipeline.sh [--test-pictures] [build folder]
#       (default: build beside the sources)
# --test-pictures gives the references their own generators instead
# (ffmpeg's testsrc2, GStreamer's colour bars) and leaves out the
# comparison and the floor.
set -euo pipefail

own_pictures=
if [ "${1:-}" = "--test-pictures" ]; then
    own_pictures=1
    shift
fi
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
bench=$build/bin/bench_pipeline
camera_frames=$build/bin/bench_camera_frames
floor=$build/bin/bench_encoder_floor
logo=$build/bin/vtlayout/logo_wordmark.png
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
frames=300

for need in "$bench" "$camera_frames" "$floor" "$logo" "$font" /usr/bin/time; do
    if [ ! -e "$need" ]; then
        echo "missing: $need" >&2
        exit 1
    fi
done
command -v ffmpeg >/dev/null || { echo "missing: ffmpeg" >&2; exit 1; }
command -v gst-launch-1.0 >/dev/null || { echo "missing: gst-launch-1.0" >&2; exit 1; }
# The text overlays come with the Pango plugin, packaged apart from the rest.
for element in videotestsrc compositor gdkpixbufoverlay textoverlay clockoverlay x264enc mp4mux; do
    gst-inspect-1.0 "$element" >/dev/null 2>&1 || { echo "missing: GStreamer element $element" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The cameras' pictures for the references: one crossing of their bar (60
# frames at 30 fps), which the recording's length must be a multiple of for
# GStreamer's looping file source.
loop_frames=60
if [ -z "$own_pictures" ]; then
    QT_QPA_PLATFORM=offscreen "$camera_frames" "$work/cameras" --frames "$loop_frames" >/dev/null
fi

# The program: it measures its own CPU time across the recording.
VISTREL_VIRTUAL_VIDEO=6 VISTREL_NO_V4L2=1 QT_QPA_PLATFORM=offscreen \
    "$bench" --frames "$frames" --logo "$logo" --keep "$work/vistrel.mp4" >"$work/vistrel.txt" 2>"$work/vistrel.err" || {
    cat "$work/vistrel.err" >&2
    exit 1
}
grep -v '^vistrel_cpu_ms_per_frame' "$work/vistrel.txt"
vistrel=$(awk '/^vistrel_cpu_ms_per_frame/ { print $2 }' "$work/vistrel.txt")

# The ffmpeg reference. The logo is a single picture that the overlay keeps
# showing; the clock is redrawn for every frame as the program's is.
grid='0_0|w0_0|0_h0|w0_h0|0_h0+h2|w0_h0+h2'
caption="drawtext=fontfile=$font:text='Evening news from the studio':fontsize=48:fontcolor=white"
caption="$caption:borderw=2:bordercolor=black:x=(w-text_w)/2:y=h-text_h-10"
clock="drawtext=fontfile=$font:text='%{localtime\\:%Y-%m-%d %H\\\\\\:%M\\\\\\:%S}':fontsize=36:fontcolor=white:x=10:y=10"
inputs=()
for i in 0 1 2 3 4 5; do
    if [ -n "$own_pictures" ]; then
        inputs+=(-f lavfi -i "testsrc2=size=960x360:rate=30")
    else
        inputs+=(-stream_loop -1 -f rawvideo -pix_fmt yuyv422 -video_size 960x360 -framerate 30
            -i "$work/cameras/camera$((i + 1)).yuyv")
    fi
done
# The program's rate control and key frames: constant 4000 Kbps with a
# one-second buffer, one key frame every 300 frames and none added at
# scene cuts.
rate_control=(-b:v 4000k -maxrate 4000k -bufsize 4000k -g 300 -sc_threshold 0)

# Prints the frames and CPU of the reference named $1 run with preset $2
# from $work/$1.time and $work/$1.mp4; leaves the milliseconds per frame in
# $per_frame.
measure() {
    local name=$1 preset=$2 count ms
    count=$(ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
        -of csv=p=0 "$work/$name.mp4")
    ms=$(awk '{ print ($1 + $2) * 1000 }' "$work/$name.time")
    per_frame=$(awk -v ms="$ms" -v n="$count" 'BEGIN { printf "%.3f", ms / n }')
    echo "$name ($preset): $count frames recorded, $ms ms CPU, $per_frame ms/frame"
}

# Runs the command line with the given x264 preset and prints its frames
# and CPU; leaves the milliseconds per frame in $per_frame.
run_ffmpeg() {
    local preset=$1
    /usr/bin/time -f "%U %S" -o "$work/ffmpeg.time" \
        ffmpeg -hide_banner -nostdin -loglevel error -y "${inputs[@]}" -i "$logo" \
        -filter_complex "[0:v][1:v][2:v][3:v][4:v][5:v]xstack=inputs=6:layout=${grid}[g];[g][6:v]overlay=W-w-10:10[l];[l]$caption,$clock,format=yuv420p[v]" \
        -map "[v]" -frames:v "$frames" -c:v libx264 -preset "$preset" -tune zerolatency "${rate_control[@]}" \
        "$work/ffmpeg.mp4"
    measure ffmpeg "$preset"
}

# The same grid, overlays and encoder settings through GStreamer. Its own
# test pictures are the colour bars with a noise patch that changes every
# frame, close to ffmpeg's (bars, moving parts, noise squares); the cameras'
# files are read whole, five times over, and cut into frames. Every source
# is asked for I420, which the compositor then blends and outputs as is;
# left to negotiate alone it would compose in 16 bits per component and
# measure that instead. The text sizes are pixels, as ffmpeg's are, and the
# overlays would otherwise scale their fonts with the picture.
gst_sources=()
gst_pads=()
for i in 0 1 2 3 4 5; do
    gst_pads+=("sink_$i::xpos=$(( (i % 2) * 960 ))" "sink_$i::ypos=$(( (i / 2) * 360 ))")
    if [ -n "$own_pictures" ]; then
        gst_sources+=(videotestsrc num-buffers="$frames" pattern=smpte)
    else
        gst_sources+=(multifilesrc location="$work/cameras/camera$((i + 1)).yuyv" loop=true
            num-buffers=$((frames / loop_frames))
            ! rawvideoparse format=yuy2 width=960 height=360 framerate=30/1 ! videoconvert)
    fi
    gst_sources+=(! "video/x-raw,format=I420,width=960,height=360,framerate=30/1" ! "mix.sink_$i")
done
run_gstreamer() {
    local preset=$1
    /usr/bin/time -f "%U %S" -o "$work/gstreamer.time" \
        gst-launch-1.0 -q -e compositor name=mix "${gst_pads[@]}" \
        ! "video/x-raw,format=I420,width=1920,height=1080,framerate=30/1" \
        ! gdkpixbufoverlay location="$logo" offset-x=-10 offset-y=10 \
        ! textoverlay text="Evening news from the studio" font-desc="DejaVu Sans 48px" auto-resize=false \
        wrap-mode=none halignment=center valignment=bottom ypad=10 \
        ! clockoverlay time-format="%Y-%m-%d %H:%M:%S" font-desc="DejaVu Sans 36px" auto-resize=false \
        halignment=left valignment=top xpad=10 ypad=10 \
        ! x264enc speed-preset="$preset" tune=zerolatency bitrate=4000 vbv-buf-capacity=1000 key-int-max=300 \
        option-string=scenecut=0 \
        ! mp4mux ! filesink location="$work/gstreamer.mp4" \
        "${gst_sources[@]}" >"$work/gstreamer.err" 2>&1 || {
        cat "$work/gstreamer.err" >&2
        exit 1
    }
    measure gstreamer "$preset"
}

ratio() {
    awk -v a="$vistrel" -v b="$per_frame" -v what="$1" -v target="$2" \
        'BEGIN { printf "ratio vistrel / %s CPU per frame: %.2f (target <= %s)\n", what, a / b, target }'
}

# How close $1's pictures come to the program's: in each of the two cells
# of the middle row (clear of the logo, the caption and the clock), frame
# 150 of its file against each of the program's frames 120 to 179; leaves
# the worse cell's best PSNR in $psnr. The program's cameras each started
# at their own moment before it recorded, so their moving bars stand at
# other places in its frame 150; one crossing of a bar later it has been at
# every place. Only the counters differ then: well above 25 dB (38 measured),
# against 14 dB for a cell of another camera.
compare_pictures() {
    local x stats best
    psnr=99
    for x in 0 960; do
        stats=$work/$1.$x.psnr
        ffmpeg -hide_banner -nostdin -loglevel error -i "$work/$1.mp4" -i "$work/vistrel.mp4" -filter_complex \
            "[0:v]trim=start_frame=150:end_frame=151,loop=loop=59:size=1:start=0,setpts=N/30/TB,crop=960:360:$x:360[a];[1:v]trim=start_frame=120:end_frame=180,setpts=N/30/TB,crop=960:360:$x:360[b];[a][b]psnr=stats_file=$stats" \
            -f null - || true
        best=$(awk '{ for (i = 1; i <= NF; ++i) if ($i ~ /^psnr_avg:/) { v = substr($i, 10); if (v == "inf") v = 99; if (v + 0 > best) best = v + 0 } } END { printf "%.1f", best }' "$stats" 2>/dev/null || echo 0)
        psnr=$(awk -v a="$psnr" -v b="$best" 'BEGIN { print (b + 0 < a + 0) ? b : a }')
    done
    echo "pictures: $1 against vistrel, middle cells, best match of frame 150: $psnr dB PSNR (target >= 25)"
    awk -v p="$psnr" 'BEGIN { exit !(p + 0 >= 25) }' || {
        echo "the pictures differ: $1 does not encode the program's cameras" >&2
        exit 1
    }
}

run_ffmpeg ultrafast
ffmpeg_ultrafast=$per_frame
ratio "ffmpeg at the same preset (ultrafast)" 0.9
[ -n "$own_pictures" ] || compare_pictures ffmpeg
run_gstreamer ultrafast
gstreamer_ultrafast=$per_frame
ratio "gstreamer at the same preset (ultrafast)" 0.9
[ -n "$own_pictures" ] || compare_pictures gstreamer
run_ffmpeg superfast
ratio "ffmpeg (superfast, the reference)" 0.8
[ -n "$own_pictures" ] && exit 0

# The floor: the encoder alone on the same pictures, composed in memory.
"$floor" --frames "$frames" >"$work/floor.txt" 2>"$work/floor.err" || {
    cat "$work/floor.err" >&2
    exit 1
}
grep -v '^floor_cpu_ms_per_frame' "$work/floor.txt"
floor_ms=$(awk '/^floor_cpu_ms_per_frame/ { print $2 }' "$work/floor.txt")
above_floor() {
    awk -v a="$2" -v f="$floor_ms" -v what="$1" \
        'BEGIN { printf "%s: %.2f ms/frame, %.2f of x264 alone, %.2f ms/frame above it\n", what, a, a / f, a - f }'
}
above_floor "vistrel" "$vistrel"
above_floor "ffmpeg (ultrafast)" "$ffmpeg_ultrafast"
above_floor "gstreamer (ultrafast)" "$gstreamer_ultrafast"

