#!/bin/bash
# CPU time per recorded frame of the whole pipeline (six cameras, overlays,
# H.264 to MP4) streaming to four destinations against streaming to one, in
# one run: the extra destinations cost their muxing and their network only,
# never a second encode, so the ratio stays at most 1.05. The destinations
# are four applications and names on a loopback nginx-rtmp. Runs alternate
# one and four destinations three times each; the medians are compared.
#   run_destinations.sh [build folder]      (default: build beside the sources)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
bench=$build/bin/bench_pipeline
logo=$build/bin/vtlayout/logo_wordmark.png
nginx_script=$here/../../scripts/services/nginx-rtmp.sh
frames=300
for need in "$bench" "$logo" "$nginx_script"; do
    [ -e "$need" ] || { echo "missing: $need" >&2; exit 1; }
done

work=$(mktemp -d)
nginx_started=
cleanup() {
    if [ -n "$nginx_started" ]; then "$nginx_script" stop "$work/nginx" || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/nginx"
"$nginx_script" start "$work/nginx" "$port"
nginx_started=1

base="rtmp://127.0.0.1:$port"
one=(--rtmp "$base/live/one")
four=(--rtmp "$base/live/a" --rtmp "$base/live2/b" --rtmp "$base/live/c" --rtmp "$base/live2/d")

# Runs the bench with the given destinations; prints its streams and leaves
# the milliseconds per frame in $per_frame.
run() {
    local label=$1; shift
    VISTREL_VIRTUAL_VIDEO=6 VISTREL_NO_V4L2=1 QT_QPA_PLATFORM=offscreen \
        "$bench" --frames "$frames" --logo "$logo" "$@" >"$work/run.txt" 2>"$work/run.err" || {
        cat "$work/run.err" >&2
        exit 1
    }
    if grep -q 'not publishing' "$work/run.txt"; then
        grep '^stream' "$work/run.txt" >&2
        echo "a destination did not take the stream" >&2
        exit 1
    fi
    per_frame=$(awk '/^vistrel_cpu_ms_per_frame/ { print $2 }' "$work/run.txt")
    echo "$label: $per_frame ms/frame ($(grep -c '^stream' "$work/run.txt") streams publishing)"
}

ones=()
fours=()
for round in 1 2 3; do
    run "round $round, one destination" "${one[@]}"
    ones+=("$per_frame")
    run "round $round, four destinations" "${four[@]}"
    fours+=("$per_frame")
done
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
awk -v a="$(median "${fours[@]}")" -v b="$(median "${ones[@]}")" \
    'BEGIN { printf "ratio four / one destination CPU per frame: %.3f (%.2f / %.2f ms, target <= 1.05)\n", a / b, a, b }'
