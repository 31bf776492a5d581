#!/usr/bin/env bash
# Starts or stops a private X server with several monitors side by side, for
# checking what the program shows on more than one screen without real
# hardware: Xorg with the dummy video driver, whose outputs xrandr switches
# on with a size each.
#   xdummy-multihead.sh start <workdir> [display] [sizes]
#       display: a number such as 53, or "auto" (the default) to let the
#       server pick a free one; sizes: monitor sizes left to right, such as
#       1280x720,1024x768,800x600 (the default). Prints DISPLAY=:<n>.
#   xdummy-multihead.sh stop <workdir>
# The configuration, the log and the pid file stay below <workdir>.
# The dummy driver cannot switch monitors off, so its server has no DPMS.
# XDUMMY_DPMS_MODULE=<path of vistreldpms.so> (built with the tests, from
# tests/support/xdpms) loads a module that gives it one, for
# "xset dpms force off" and "on".
set -euo pipefail
. "$(dirname "$0")/running-child.sh"

usage() { echo "usage: $0 start <workdir> [display|auto] [WxH,WxH,...] | stop <workdir>" >&2; exit 2; }
[ $# -ge 2 ] || usage
action=$1
workdir=$(mkdir -p "$2" && cd "$2" && pwd)
display=${3:-auto}
sizes=${4:-1280x720,1024x768,800x600}
run="$workdir/xdummy"
pidfile="$workdir/xdummy.pid"
log="$workdir/xdummy.log"

# True while the process is the server started for this work folder; a pid
# file left by a server that died may name another process by now.
is_our_server() {
  [ -r "/proc/$1/cmdline" ] && tr '\0' ' ' <"/proc/$1/cmdline" | grep -qF -- "-config $run/xorg.conf "
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

# Total framebuffer size for the monitors side by side.
framebuffer_size() {
  local width=0 height=0 w h
  for size in ${sizes//,/ }; do
    w=${size%x*}; h=${size#*x}
    width=$((width + w))
    [ "$h" -gt "$height" ] && height=$h
  done
  echo "${width}x${height}"
}

# The Files and Module sections that load the DPMS module; nothing without it.
module_sections() {
  [ -n "${XDUMMY_DPMS_MODULE:-}" ] || return 0
  [ -f "$XDUMMY_DPMS_MODULE" ] || { echo "no DPMS module at $XDUMMY_DPMS_MODULE" >&2; return 1; }
  cp "$XDUMMY_DPMS_MODULE" "$run/modules/"
  # A module path replaces the server's own, which the driver needs too.
  local system
  system=$(Xorg -showDefaultModulePath 2>&1 | tail -n 1)
  cat <<CONF
Section "Files"
  ModulePath "$run/modules,$system"
EndSection
Section "Module"
  Load "$(basename "$XDUMMY_DPMS_MODULE" .so)"
EndSection
CONF
}

write_config() {
  local fb=$1
  module_sections >"$run/xorg.conf"
  cat >>"$run/xorg.conf" <<CONF
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoAddGPU" "false"
  Option "AutoBindGPU" "false"
  Option "DontVTSwitch" "true"
  Option "BlankTime" "0"
  Option "StandbyTime" "0"
  Option "SuspendTime" "0"
  Option "OffTime" "0"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 512000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "${fb}" 100.00 ${fb%x*} $((${fb%x*} + 8)) $((${fb%x*} + 16)) $((${fb%x*} + 24)) ${fb#*x} $((${fb#*x} + 2)) $((${fb#*x} + 4)) $((${fb#*x} + 6))
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "${fb}"
    Virtual ${fb%x*} ${fb#*x}
  EndSubSection
EndSection
Section "ServerLayout"
  Identifier "layout"
  Screen "screen"
EndSection
CONF
}

# A mode named WxH on every output, then output i (DUMMY<i>) switched on
# with size i, left to right. Qt sees each output as a screen of its own.
# The timings only need to be plausible: nothing is ever scanned out.
add_mode() {
  local w=$1 h=$2
  DISPLAY=":$3" xrandr --newmode "${w}x${h}_multihead" 60.00 "$w" $((w + 8)) $((w + 16)) $((w + 24)) \
    "$h" $((h + 2)) $((h + 4)) $((h + 6)) 2>/dev/null || true
}

split_monitors() {
  local x=0 i=0 w h
  local args=()
  for size in ${sizes//,/ }; do
    w=${size%x*}; h=${size#*x}
    add_mode "$w" "$h" "$1"
    DISPLAY=":$1" xrandr --addmode "DUMMY$i" "${w}x${h}_multihead"
    args+=(--output "DUMMY$i" --mode "${w}x${h}_multihead" --pos "${x}x0")
    x=$((x + w)); i=$((i + 1))
  done
  DISPLAY=":$1" xrandr --fb "$(framebuffer_size)" "${args[@]}"
  # A full query makes the driver probe its outputs again; until then
  # clients that ask for the current resources see them disconnected.
  DISPLAY=":$1" xrandr --query >/dev/null
}

case "$action" in
  start)
    command -v Xorg >/dev/null || { echo "Xorg is not installed" >&2; exit 1; }
    command -v xrandr >/dev/null || { echo "xrandr is not installed" >&2; exit 1; }
    stop_server
    rm -rf "$run"
    mkdir -p "$run/conf.d" "$run/modules"
    write_config "$(framebuffer_size)"
    # Display numbers are chosen here rather than with -displayfd: while the
    # server searches it can remove the socket of another server that is
    # starting, or of the desktop's own display. From 50 up, clear of
    # desktops. A number can still be taken between the check and the start
    # (a socket in the abstract namespace leaves no file), so a server that
    # exits early is tried again on the next free number.
    free_display_from() {
      local n
      for n in $(seq "$1" 199); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then echo "$n"; return 0; fi
      done
      return 1
    }
    fixed=1
    if [ "$display" = auto ]; then
      fixed=0
      display=$(free_display_from 50) || { echo "no free display number" >&2; exit 1; }
    fi
    for attempt in 1 2 3; do
      # An empty config folder keeps the system's snippets out; -novtswitch
      # and -sharevts keep the server off the consoles.
      nohup Xorg ":$display" -config "$run/xorg.conf" -configdir "$run/conf.d" -logfile "$log" \
        -noreset -nolisten tcp -novtswitch -sharevts +extension RANDR \
        >"$workdir/xdummy.out" 2>&1 </dev/null &
      pid=$!
      echo "$pid" >"$pidfile"
      for _ in $(seq 1 300); do
        # Bounded: a stray socket of that number may accept and never answer.
        if DISPLAY=":$display" timeout 5 xrandr --query >/dev/null 2>&1; then
          # The dummy driver may not list its outputs at once under load.
          for _ in 1 2 3; do
            if split_monitors "$display" >>"$log" 2>&1; then
              echo "DISPLAY=:$display"
              exit 0
            fi
            sleep 1
          done
          break 2
        fi
        is_running_child "$pid" || break
        sleep 0.1
      done
      is_running_child "$pid" && break
      [ "$fixed" = 0 ] && [ "$attempt" -lt 3 ] || break
      display=$(free_display_from $((display + 1))) || break
    done
    {
      echo "Xorg with the dummy driver did not start on :$display; see $log and $workdir/xdummy.out"
      tail -n 15 "$workdir/xdummy.out" 2>/dev/null
      grep -E '\(EE\)|Fatal' "$log" 2>/dev/null | tail -n 10
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
