# Sourced by the scripts that run the real Chromaset window headless inside the lab (screenshot,
# bench/window/startup, tests/window/real_binary_test): a private X server for this process and the
# cleanup of everything started from here.
#
#   xvfb_session_start NAME   starts Xvfb, exports DISPLAY and QT_QPA_PLATFORM=xcb, and on exit
#                             (or SIGTERM) kills $app_pid (set it when starting the program) and
#                             Xvfb and removes $work; NAME prefixes the error messages.
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

# Whether display :$1 looks taken by another X server: its lock names a live process, or its socket
# file is there (a server started with -displayfd takes no lock).
xvfb_display_taken() {
  local pid
  [ -e "/tmp/.X11-unix/X$1" ] && return 0
  pid=$(tr -d ' ' 2>/dev/null <"/tmp/.X$1-lock") || return 1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null
}

xvfb_session_start() {
  local name=$1 display tries
  work=$(mktemp -d)
  xvfb_pid=""
  app_pid=""
  trap xvfb_session_cleanup EXIT
  trap 'exit 143' TERM  # a harness that gives up on us still gets its cleanup
  # Other X servers may run at the same time, each in a network namespace of its own, where the
  # abstract sockets cannot see one another: only /tmp is shared, and a client whose server is
  # gone falls back to the socket file there, another's. Xvfb's own lock file (made with an
  # explicit display, not with -displayfd) decides a race: ready is when the lock is ours and the
  # display answers. Numbers from a random place far above the desktop's :0.
  display=$((100 + RANDOM % 800))
  for tries in $(seq 20); do
    while xvfb_display_taken "$display"; do display=$((display + 1)); done
    # -noreset: the server would otherwise start over each time its last client leaves (the
    # probe below, a closed app), refusing whoever connects meanwhile.
    Xvfb ":$display" -nolisten tcp -noreset -screen 0 800x600x24 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 200); do  # 20 s: a loaded machine starts it slowly
      kill -0 "$xvfb_pid" 2>/dev/null || break
      [ "$(tr -d ' ' 2>/dev/null <"/tmp/.X$display-lock")" = "$xvfb_pid" ] &&
        DISPLAY=":$display" timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1 && break 2
      sleep 0.1
    done
    if kill "$xvfb_pid" 2>/dev/null; then
      echo "$name: Xvfb :$display did not answer within 20 s" >&2
      tries=20
    fi
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
    if [ "$tries" -eq 20 ]; then
      echo "$name: no X display could be started; Xvfb said:" >&2
      tail -n 5 "$work/xvfb.log" >&2
      exit 1
    fi
    display=$((display + 1))  # taken meanwhile by another server: the next one
  done
  DISPLAY=":$display"
  export DISPLAY QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY
}

xvfb_session_bus() {
  command -v dbus-daemon >/dev/null || return 0
  DBUS_SESSION_BUS_ADDRESS=$(timeout 20 dbus-daemon --session --fork --print-address=1 \
    --print-pid=3 3>"$work/bus.pid") || {
    echo "xvfb_session_bus: dbus-daemon gave no session bus within 20 s" >&2
    exit 1
  }
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
