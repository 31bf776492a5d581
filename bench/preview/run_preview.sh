#!/bin/bash
# CPU per output frame of six virtual cameras in the six-way grid at
# 1920x1080 25 fps: (a) capture and composition alone, (b) the same with the
# main window's output and channel previews shown at its default size, and
# the previews' share (b - a) / a (target <= 0.5). Starts its own X server.
#   run_preview.sh [build folder] [seconds per measurement]
# BENCH_DISPLAY=:N takes that display number instead of the first free one.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
seconds=${2:-10}
bench=$build/bin/bench_preview
[ -x "$bench" ] || { echo "missing: $bench" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "missing: Xvfb" >&2; exit 1; }

work=$(mktemp -d)
if [ -n "${BENCH_DISPLAY:-}" ]; then
    Xvfb "$BENCH_DISPLAY" -screen 0 1400x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    export DISPLAY=$BENCH_DISPLAY
    sleep 2
else
    # shellcheck source=../../scripts/private_xvfb.sh
    . "$here/../../scripts/private_xvfb.sh"
    start_private_xvfb "$work/xvfb.log"
fi
# Waited for, so that a run straight after this one may take the same display.
trap 'kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT

mkdir -m 0700 "$work/home" "$work/runtime"
HOME=$work/home XDG_RUNTIME_DIR=$work/runtime DBUS_SESSION_BUS_ADDRESS=disabled: \
    "$bench" --seconds "$seconds" >"$work/out.txt" 2>"$work/err.txt" || {
    cat "$work/out.txt" "$work/err.txt" >&2
    exit 1
}
grep -v '^preview_cost_ratio' "$work/out.txt"
awk '/^preview_cost_ratio/ { printf "ratio (b - a) / a: %.2f (target <= 0.5)\n", $2 }' "$work/out.txt"
