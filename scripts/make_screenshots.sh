#!/usr/bin/env bash
# Makes the guide's pictures (docs/images/*.png) from the program in build/
# (or the folder given) with virtual devices under a private Xvfb: every tab
# and the device dialog in English, the main window in both Chinese
# interfaces. Run it again after a change to the windows; commit the results.
#   make_screenshots.sh [build folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out=$root/docs/images
CONVERT=${CONVERT:-/usr/bin/convert}
IMPORT=${IMPORT:-/usr/bin/import}
# The program runs installed under a neutral prefix, so that the paths the
# pictures show (the background image, the storage folder) name no folder of
# the machine that made them.
work=/tmp/vistrel-guide
xvfb_pid=
app_pid=
cleanup() {
    [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$out" "$work"
cmake --install "$build" --prefix "$work/usr" >/dev/null

# shellcheck source=private_xvfb.sh
source "$root/scripts/private_xvfb.sh"
start_private_xvfb "$work/xvfb.log"

# Starts the program in a fresh home with four virtual cameras and a tone;
# leaves its main window's id in $main.
start_program() {
    stop_program
    rm -rf "$work/home"
    mkdir -p "$work/home/run"
    chmod 700 "$work/home/run"
    LC_ALL=${LOCALE:-C.UTF-8} HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/home/run" \
        VISTREL_VIRTUAL_VIDEO=4 VISTREL_VIRTUAL_AUDIO=1 VISTREL_NO_V4L2=1 DBUS_SESSION_BUS_ADDRESS=disabled: \
        "$work/usr/bin/vistrel" -noupg "$@" 2>"$work/program.err" &
    app_pid=$!
    main=
    for _ in $(seq 60); do
        main=$(xdotool search --onlyvisible --name "Vistrel" 2>/dev/null | head -n 1 || true)
        [ -z "$main" ] || break
        sleep 0.5
    done
    [ -n "$main" ] || { cat "$work/program.err" >&2; exit 1; }
    # The cameras' pictures and the previews settle.
    sleep 4
}

stop_program() {
    [ -z "$app_pid" ] || { kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; }
    app_pid=
}

# Saves window $1 as docs/images/$2.png, small enough for the guide.
shoot() {
    "$IMPORT" -window "$1" "$work/shot.png"
    "$CONVERT" "$work/shot.png" -resize '900x900>' -colors 192 -strip "PNG8:$out/$2.png"
}

# Clicks the tab whose label is at x (in the English window's tab bar).
tab() {
    xdotool mousemove --window "$main" "$1" 55 click 1
    sleep 1.5
}

start_program -eng
shoot "$main" main-window
tab 744
shoot "$main" tab-device
tab 814
shoot "$main" tab-layout
tab 887
shoot "$main" tab-overlay
tab 960
shoot "$main" tab-screen
tab 1035
for _ in $(seq 12); do xdotool mousemove --window "$main" 1100 400 click 5; done
sleep 1
shoot "$main" tab-settings
tab 744
# The device dialog of the first channel.
xdotool mousemove --window "$main" 891 121 click 1
sleep 2
dialog=$(xdotool search --onlyvisible --name "Video" 2>/dev/null | grep -v "^$main\$" | tail -n 1 || true)
if [ -n "$dialog" ]; then shoot "$dialog" device-dialog; fi

# The system's language chooses Simplified Chinese.
LOCALE=zh_CN.UTF-8 start_program
shoot "$main" main-window-zh-cn
stop_program
# -tw chooses Traditional Chinese.
start_program -tw
shoot "$main" main-window-zh-tw
stop_program
ls -la "$out"
