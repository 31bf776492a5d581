#!/usr/bin/env bash
# Starts or stops a private PulseAudio server with a null sink, without a
# session bus and also as root.
#   pulseaudio.sh start <workdir>   prints the lines to export, e.g.
#                                   PULSE_SERVER=unix:<workdir>/pulse/native
#   pulseaudio.sh stop <workdir>    stops the server started for <workdir>
# Everything the server writes stays below <workdir>.
set -euo pipefail

usage() { echo "usage: $0 start|stop <workdir>" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
workdir=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/running-child.sh"
run="$workdir/pulse"
pidfile="$workdir/pulseaudio.pid"
socket="$run/native"

# True while the process is the server started for this work folder. A
# server that died leaves its pid file behind, and the number may belong to
# another process by now.
is_our_server() {
  [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' <"/proc/$1/cmdline" | grep -qF -- "-F $run/server.pa "
}

stop_server() {
  [ -f "$pidfile" ] || return 0
  local pid
  pid=$(cat "$pidfile")
  if is_our_server "$pid"; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      is_our_server "$pid" || break
      sleep 0.1
    done
    if is_our_server "$pid"; then kill -9 "$pid" 2>/dev/null || true; fi
  fi
  rm -f "$pidfile"
}

case "$action" in
  start)
    command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 1; }
    stop_server
    rm -rf "$run"
    mkdir -p "$run/state" "$run/config"
    chmod 0700 "$run"
    sed "s|@SOCKET@|$socket|" "$here/pulseaudio.pa.in" >"$run/server.pa"
    # The runtime, state and config folders all point into the work folder
    # so that the server neither needs nor touches a login session.
    XDG_RUNTIME_DIR="$run" PULSE_RUNTIME_PATH="$run" PULSE_STATE_PATH="$run/state" \
    XDG_CONFIG_HOME="$run/config" HOME="$run" DBUS_SESSION_BUS_ADDRESS=disabled: \
      nohup pulseaudio -n -F "$run/server.pa" --exit-idle-time=-1 --daemonize=no \
        --system=false --disallow-exit --use-pid-file=no --log-target=stderr \
        >"$workdir/pulseaudio.log" 2>&1 </dev/null &
    pid=$!
    echo "$pid" >"$pidfile"
    for _ in $(seq 1 300); do
      if [ -S "$socket" ] && PULSE_SERVER="unix:$socket" timeout 5 pactl info >/dev/null 2>&1; then
        echo "PULSE_SERVER=unix:$socket"
        exit 0
      fi
      is_running_child "$pid" || break
      sleep 0.1
    done
    {
      echo "pulseaudio did not start; see $workdir/pulseaudio.log"
      tail -n 15 "$workdir/pulseaudio.log" 2>/dev/null
    } >&2
    stop_server
    exit 1
    ;;
  stop)
    stop_server
    ;;
  *)
    usage
    ;;
esac
