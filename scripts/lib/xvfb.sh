# Sourced by the scripts that run the real Chromaset window headless inside the lab (screenshot,
# bench/window/startup, tests/window/real_binary_test): a private X server for this process and the
# cleanup of everything started from here.
#
#   xvfb_session_start NAME   starts Xvfb, exports DISPLAY and QT_QPA_PLATFORM=xcb, and on exit
#                             kills $app_pid (set it when starting the program) and Xvfb and
#                             removes $work; NAME prefixes the error messages.
#   xvfb_session_bus          gives the session a private D-Bus session bus, as every desktop
#                             has, when dbus-daemon is installed (else none, as a bare container)

# xdotool's pattern for the main window's title.
main_window_caption='^Chromaset - V1.00$'

# The two accepted nodes the screenshot and the start-up benchmark run against (lab runner
# --node arguments).
lab_two_nodes=(--node "5:0x1A:0x2C:Stage wash left" --node "6:0x2C:0x1A:Stage wash right")

xvfb_session_cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
  [ -s "${work:-}/bus.pid" ] && kill "$(cat "$work/bus.pid")" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${work:-}" ] && rm -rf "$work"
}

xvfb_session_start() {
  local name=$1
  work=$(mktemp -d)
  xvfb_pid=""
  app_pid=""
  trap xvfb_session_cleanup EXIT
  Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  if ! [ -s "$work/display" ]; then
    echo "$name: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  DISPLAY=":$(head -n1 "$work/display")"
  export DISPLAY QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY
}

xvfb_session_bus() {
  command -v dbus-daemon >/dev/null || return 0
  DBUS_SESSION_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address=1 \
    --print-pid=3 3>"$work/bus.pid")
  export DBUS_SESSION_BUS_ADDRESS
}

# Fails with a message unless every path given is an executable file (the built binaries).
require_built() {
  local name=$1
  shift
  for f in "$@"; do
    [ -x "$f" ] || { echo "$name: $f is missing; build first (make build)" >&2; exit 1; }
  done
}
