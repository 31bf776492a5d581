#!/bin/bash
# Sustained real time: 60 s of the 1920x1080 30 fps output with six
# channels, recorded and streamed to a loopback nginx-rtmp, previews shown
# on a private X server. Prints the frame rate of every second, the median,
# the mixer's late ticks during the recording (target 0), the CPU time per
# recorded frame and, last, the recorded frames as a share of 60 x the rate
# (target >= 99.5 %).
#   run_realtime.sh [--mjpeg-cameras] [--rate FPS]
#                   [--no-previews | --compare-previews | --against BUILD]
#                   [build folder] [seconds]
#       (default: 30 fps, build beside the sources, 60)
# --rate takes any of the program's output rates (60, 59.94, 50, 30, ...).
# --no-previews shows nothing; --compare-previews runs twice, with the
# previews and without, and prints the ratio of their CPU per recorded
# frame after both runs' figures. --against runs the same with the previews
# on in another build (an earlier version, say) first, and prints the ratio
# of this build's CPU per recorded frame to that one's.
# VISTREL_BENCH_DISPLAY gives the first X display number to try (99).
# The channels show six virtual cameras; with --mjpeg-cameras six emulated
# USB cameras (tests/support/v4l2emu) sending 1920x1080 MJPEG at 30 fps,
# which the program decodes as it would real ones. That run fails unless
# the recording shows the six cameras' colours.
set -euo pipefail

mjpeg=
rate=30
previews=on
against=
while [ $# -gt 0 ]; do
    case "$1" in
    --mjpeg-cameras) mjpeg=1 ;;
    --rate)
        rate=${2:?--rate needs a value}
        shift
        ;;
    --no-previews) previews=off ;;
    --compare-previews) previews=both ;;
    --against)
        against=${2:?--against needs a build folder}
        previews=against
        shift
        ;;
    *) break ;;
    esac
    shift
done
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
seconds=${2:-60}
bench=$build/bin/bench_pipeline
emulator=$build/lib/libv4l2emu.so
nginx_script=$here/../../scripts/services/nginx-rtmp.sh

[ -x "$bench" ] || { echo "missing: $bench" >&2; exit 1; }
[ -z "$against" ] || [ -x "$against/bin/bench_pipeline" ] || {
    echo "missing: $against/bin/bench_pipeline" >&2
    exit 1
}
[ -z "$mjpeg" ] || [ -f "$emulator" ] || { echo "missing: $emulator" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "missing: Xvfb" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=
nginx_started=
cleanup() {
    if [ -n "$nginx_started" ]; then "$nginx_script" stop "$work/nginx" || true; fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses.
display=${VISTREL_BENCH_DISPLAY:-99}
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
tries=0
until [ -e "/tmp/.X11-unix/X$display" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
        cat "$work/xvfb.log" >&2
        echo "Xvfb did not start" >&2
        exit 1
    fi
    sleep 0.1
done

# A loopback port nothing listens on, so that parallel runs do not meet.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$nginx_script" start "$work/nginx" "$port"
nginx_started=1

bench_args=(--realtime --seconds "$seconds" --rtmp "rtmp://127.0.0.1:$port/live/bench")
# Builds from before the other rates ran at 30 fps and knew no --rate.
[ "$rate" = 30 ] || bench_args+=(--rate "$rate")
if [ -n "$mjpeg" ]; then
    # Only MJPEG at 1920x1080, so that every channel decodes what it gets.
    cameras=
    for i in 1 2 3 4 5 6; do
        cameras="$cameras${cameras:+;}Cam $i|BENCH-$i|1920x1080|320x240"
    done
    run_env=(LD_PRELOAD="$emulator" VISTREL_V4L2EMU="$cameras")
    bench_args+=(--emulated-cameras)
else
    run_env=(VISTREL_VIRTUAL_VIDEO=6 VISTREL_NO_V4L2=1)
fi
# One run; $1 names its output, the rest are extra arguments. $run_with
# runs another build's benchmark instead.
run_with=$bench
run_bench() {
    local name=$1
    shift
    DISPLAY=":$display" QT_QPA_PLATFORM=xcb env "${run_env[@]}" "$run_with" "${bench_args[@]}" "$@" \
        >"$work/$name.out" 2>"$work/$name.err" || {
        cat "$work/$name.out"
        tail -20 "$work/$name.err" >&2
        exit 1
    }
}
cpu_per_frame() {
    awk '/^CPU per recorded frame:/ { print $5 }' "$work/$1.out"
}
# "$1: <run $2> / <run $3> ms per recorded frame = <ratio>"
print_ratio() {
    awk -v label="$1" -v a="$(cpu_per_frame "$2")" -v b="$(cpu_per_frame "$3")" \
        'BEGIN { if (b > 0) printf "%s: %.2f / %.2f ms per recorded frame = %.2f\n", label, a, b, a / b }'
}
case "$previews" in
on) run_bench bench ;;
off) run_bench bench --no-previews ;;
both)
    run_bench previews
    run_bench bench --no-previews
    ;;
against)
    run_with=$against/bin/bench_pipeline
    run_bench other
    run_with=$bench
    run_bench bench
    ;;
esac
# What the server took in, from its access log (bytes received come
# before bytes sent); the recorded share stays the last line.
"$nginx_script" stop "$work/nginx"
nginx_started=
awk '/PUBLISH/ { for (i = 1; i < NF; ++i) if ($i == "-") { printf "stream: nginx received %d bytes\n", $(i + 1); break } }' \
    "$work/nginx/access.log" 2>/dev/null || true
if [ "$previews" = both ]; then
    echo "== with previews"
    cat "$work/previews.out"
    echo "== without previews"
    print_ratio "previews on / off" previews bench
elif [ "$previews" = against ]; then
    echo "== $against"
    cat "$work/other.out"
    echo "== this build"
    print_ratio "this build / the other" bench other
fi
cat "$work/bench.out"
