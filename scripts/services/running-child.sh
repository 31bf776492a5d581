# Sourced by the service scripts.
# True while a child of the sourcing script runs, from its fork on: until it
# has exec'd, its command line is still the script's, which a check on the
# server's command line would take for a dead server. A child is not reaped
# behind our back, so its number is not reused while we wait; a zombie
# counts as ended.
is_running_child() {
  local state
  state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}
