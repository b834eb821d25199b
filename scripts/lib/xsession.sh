# Helpers for scripts and tests that drive a private X server.
# Source it; every process started here is stopped by PID in stop_started.

. "$(dirname "${BASH_SOURCE[0]}")/grid.sh"
. "$(dirname "${BASH_SOURCE[0]}")/form.sh"

STARTED_PIDS=()

# start_x_server SERVER ARGS...: an X server on a free display, found with
# -displayfd; exports DISPLAY and keeps the server's PID in SERVER_PID.
start_x_server() {
  local fifo number
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  "$@" -displayfd 7 -nolisten tcp 7>"$fifo" >/dev/null 2>&1 &
  STARTED_PIDS+=($!)
  SERVER_PID=$!
  if ! read -r -t 20 number <"$fifo"; then
    rm -f "$fifo"
    echo "$1 did not start" >&2
    return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$number"
}

# start_xvfb WIDTHxHEIGHT [DEPTH]: a private Xvfb, 24 bits deep unless told
# otherwise.
start_xvfb() {
  start_x_server Xvfb -screen 0 "${1:-1280x800}x${2:-24}"
}

# start_nested_xephyr WIDTHxHEIGHT: a resizeable Xephyr in a window on the
# current display, for a screen that really changes size (Xvfb's cannot
# shrink); the outer display stays in OUTER_DISPLAY.
start_nested_xephyr() {
  OUTER_DISPLAY=$DISPLAY
  start_x_server Xephyr -resizeable -screen "$1"
}

# start_bg CMD...: runs CMD in the background and remembers its PID.
start_bg() {
  "$@" &
  STARTED_PIDS+=($!)
  LAST_PID=$!
}

# Stops what was started here, newest first, so X clients go before their
# server. A process ended by the signal makes wait fail: under set -e
# that must not cut the loop short and leave the rest running.
stop_started() {
  local i
  for ((i = ${#STARTED_PIDS[@]} - 1; i >= 0; i--)); do
    kill "${STARTED_PIDS[i]}" 2>/dev/null || true
    wait "${STARTED_PIDS[i]}" 2>/dev/null || true
  done
  STARTED_PIDS=()
}

# wait_for TIMEOUT_S CMD...: polls CMD every 0.1 s until it succeeds.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# drag X0 Y0 X1 Y1: press the left button at one point, release it at another.
drag() {
  xdotool mousemove --sync "$1" "$2" && sleep 0.2 && xdotool mousedown 1 && sleep 0.2 &&
    xdotool mousemove --sync "$3" "$4" && sleep 0.2 && xdotool mouseup 1 && sleep 0.3
}

# click_at X Y
click_at() {
  xdotool mousemove --sync "$1" "$2" && sleep 0.1 && xdotool click 1 && sleep 0.3
}

# drive_colorclicker WX WY AL AT AR AB CX CY INTERVAL: the user's gestures on
# a colorclicker window whose client area starts at (WX, WY): both corners
# and the colour by press-drag-release, the interval typed, and start.
drive_colorclicker() {
  local wx=$1 wy=$2
  drag $(control_at Button1 "$wx" "$wy") "$3" "$4"  # top-left corner
  drag $(control_at Button2 "$wx" "$wy") "$5" "$6"  # bottom-right corner
  drag $(control_at Button3 "$wx" "$wy") "$7" "$8"  # target colour
  click_at $(control_at Edit6 "$wx" "$wy")          # the interval
  xdotool key --clearmodifiers ctrl+a && xdotool type --delay 50 "$9" && sleep 0.2
  click_at $(control_at Button4 "$wx" "$wy")        # start
}
