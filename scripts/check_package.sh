#!/usr/bin/env bash
# Checks the program as it is installed, from the build in build/ (or the
# folder given), not a new one:
#  1. installed into a prefix that is then moved, it still finds its data;
#  2. the Debian package passes lintian, installs with apt-get, its desktop
#     entry and metainfo validate, the installed /usr/bin/vistrel records
#     three seconds with virtual devices under Xvfb (the MP4 is read back),
#     and purging it leaves nothing of it under /usr.
# Step 2 needs root and is skipped without it.
#   check_package.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
    [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=private_xvfb.sh
source "$root/scripts/private_xvfb.sh"
start_private_xvfb "$work/xvfb.log"

# Runs a program with a private home and virtual devices in the background;
# its standard error goes to $work/$2.err.
start_program() {
    local exe=$1 name=$2
    mkdir -p "$work/$name/home" "$work/$name/run"
    chmod 700 "$work/$name/run"
    HOME="$work/$name/home" XDG_CONFIG_HOME="$work/$name/home/.config" XDG_RUNTIME_DIR="$work/$name/run" \
        XDG_STATE_HOME="$work/$name/home/.local/state" VISTREL_VIRTUAL_VIDEO=2 VISTREL_NO_V4L2=1 \
        DBUS_SESSION_BUS_ADDRESS=disabled: "$exe" -noupg -eng 2>"$work/$name.err" &
    app_pid=$!
}

# The main window appears: the program found its layout file and started.
wait_window() {
    for _ in $(seq 60); do
        if xdotool search --onlyvisible --name "Vistrel" >/dev/null 2>&1; then return 0; fi
        if ! kill -0 "$app_pid" 2>/dev/null; then break; fi
        sleep 0.5
    done
    cat "$work/$1.err" >&2
    echo "$1: no main window" >&2
    return 1
}

stop_program() {
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=
}

# 1. A prefix that moved after the install.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
mv "$work/prefix" "$work/moved"
start_program "$work/moved/bin/vistrel" moved
wait_window moved
if grep -q "layout file" "$work/moved.err"; then
    cat "$work/moved.err" >&2
    exit 1
fi
stop_program
echo "installed into a prefix and moved: the program finds its data"

if [ "$(id -u)" -ne 0 ]; then
    echo "not root: the package is not installed"
    exit 0
fi

# 2. The package.
deb=$(BUILD_DIR="$build" "$root/scripts/package.sh" | tail -n 1)
lintian --fail-on error "$deb"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >/dev/null
desktop-file-validate /usr/share/applications/org.vistrel.Vistrel.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.vistrel.Vistrel.metainfo.xml >/dev/null

start_program /usr/bin/vistrel installed
wait_window installed
# Without a window manager the window must be given the focus itself for its
# shortcuts to work; Ctrl+R starts, Ctrl+S stops.
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "Vistrel" | head -n 1)"
sleep 1
xdotool key ctrl+r
sleep 3
xdotool key ctrl+s
video=$work/installed/home/Documents/Vistrel\ V2.1/Storage\ Files/Video
for _ in $(seq 20); do
    if ls "$video"/*.mp4 >/dev/null 2>&1 && [ -n "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$video"/*.mp4 2>/dev/null)" ]; then break; fi
    sleep 0.5
done
stop_program
duration=$(ffprobe -v error -select_streams v:0 -show_entries format=duration -of csv=p=0 "$video"/*.mp4)
awk -v d="$duration" 'BEGIN { exit !(d >= 2.0) }' || {
    cat "$work/installed.err" >&2
    echo "the installed program recorded ${duration:-nothing} s" >&2
    exit 1
}
echo "installed package: validated, recorded $duration s"

apt-get purge -y -qq vistrel >/dev/null
left=$(find /usr -path '*vistrel*' -o -name 'org.vistrel.Vistrel*' | grep -v "^/usr/share/doc-base" || true)
if [ -n "$left" ]; then
    echo "left after purge:" >&2
    echo "$left" >&2
    exit 1
fi
echo "purged: nothing of the package is left under /usr"
