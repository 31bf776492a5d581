# Sourced by scripts that run the program on screen: starts Xvfb on a
# display nobody else uses, sets DISPLAY and leaves the server's process id
# in $xvfb_pid for the caller to end.
#   start_private_xvfb <log file>
start_private_xvfb() {
    local display display_fd
    exec {display_fd}<> <(:)
    Xvfb -displayfd "$display_fd" -screen 0 1400x900x24 -nolisten tcp >"$1" 2>&1 &
    xvfb_pid=$!
    read -r -t 30 display <&"$display_fd"
    exec {display_fd}>&-
    export DISPLAY=":$display"
}
