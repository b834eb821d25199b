# Helpers for scripts and tests that drive a private X server.
# Source it; every process started here is stopped by PID in stop_started.

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

# grid_hits LEFT TOP RIGHT BOTTOM TX TY TW TH: the scan grid points whose
# five-sample run lies inside the target rectangle, one "x y" a line.
grid_hits() {
  local left=$1 top=$2 right=$3 bottom=$4 tx=$5 ty=$6 tw=$7 th=$8 x y
  for ((y = top + 3; y < bottom - 3; y += 3)); do
    for ((x = left + 100; x < right - 90; x += 100)); do
      if ((x >= tx && x + 20 < tx + tw && y >= ty && y < ty + th)); then echo "$x $y"; fi
    done
  done
}

# drive_colorclicker WX WY AL AT AR AB CX CY INTERVAL: the user's gestures on
# a colorclicker window whose client area starts at (WX, WY): both corners
# and the colour by press-drag-release, the interval typed, and start.
drive_colorclicker() {
  local wx=$1 wy=$2
  drag $((wx + 124)) $((wy + 20)) "$3" "$4"   # Button1 -> top-left corner
  drag $((wx + 124)) $((wy + 44)) "$5" "$6"   # Button2 -> bottom-right corner
  drag $((wx + 124)) $((wy + 68)) "$7" "$8"   # Button3 -> target colour
  click_at $((wx + 300)) $((wy + 92))         # Edit6
  xdotool key --clearmodifiers ctrl+a && xdotool type --delay 50 "$9" && sleep 0.2
  click_at $((wx + 124)) $((wy + 92))         # Button4
}
