# Helpers for scripts and tests that drive a private X server.
# Source it; every process started here is stopped by PID in stop_started.

. "$(dirname "${BASH_SOURCE[0]}")/grid.sh"
. "$(dirname "${BASH_SOURCE[0]}")/form.sh"

STARTED_PIDS=()
# Process groups started here (a whole desktop session), every member of
# which must be gone before stop_started returns.
STARTED_GROUPS=()

# start_x_server SERVER ARGS...: an X server on a free display, found with
# -displayfd; exports DISPLAY and keeps the server's PID in SERVER_PID.
# Without -noreset a server starts afresh whenever its last client leaves
# (the check below is the first), and refuses the clients that come
# meanwhile: a window manager started next could not open the display.
start_x_server() {
  local fifo number
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  "$@" -displayfd 7 -nolisten tcp -noreset 7>"$fifo" >/dev/null 2>&1 &
  STARTED_PIDS+=($!)
  SERVER_PID=$!
  if ! read -r -t 20 number <"$fifo"; then
    rm -f "$fifo"
    echo "$1 did not start" >&2
    return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$number"
  # A number the server took can still be served by another that is
  # going away (an abstract socket outlives its lock file).
  if ! wait_for 10 xdpyinfo >/dev/null 2>&1; then
    echo "$1 started on $DISPLAY, but does not answer there" >&2
    return 1
  fi
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
  local i group locks
  locks=$(own_x_locks)
  for ((i = ${#STARTED_PIDS[@]} - 1; i >= 0; i--)); do
    kill "${STARTED_PIDS[i]}" 2>/dev/null || true
    wait "${STARTED_PIDS[i]}" 2>/dev/null || true
  done
  for group in "${STARTED_GROUPS[@]}"; do
    wait_for 10 eval "! pgrep -g $group >/dev/null" ||
      { kill -9 -- "-$group" 2>/dev/null; wait_for 5 eval "! pgrep -g $group >/dev/null"; }
  done
  release_x_locks <<<"$locks"
  STARTED_PIDS=() STARTED_GROUPS=()
}

# The lock files of X displays held by a process started here or one of
# its descendants (a compositor serving XWayland), or by nobody any more,
# as "LOCK PID" lines.
own_x_locks() {
  local lock pid p
  for lock in /tmp/.X*-lock; do
    [ -e "$lock" ] || continue
    pid=$(tr -dc 0-9 2>/dev/null <"$lock") p=$pid
    [ -z "$pid" ] || kill -0 "$pid" 2>/dev/null || { echo "$lock $pid"; continue; }
    while [ -n "$p" ] && ((p > 1)); do
      [[ " ${STARTED_PIDS[*]} " != *" $p "* ]] || { echo "$lock $pid"; break; }
      p=$(ps -o ppid= -p "$p" 2>/dev/null | tr -d ' ')
    done
  done
}

# release_x_locks < "LOCK PID" lines: once each holder and the XWayland
# serving its display are gone, their lock file and socket go too: a
# compositor that ends on a signal leaves them, and the next server would
# be handed a display that nobody serves.
release_x_locks() {
  local lock pid display
  while read -r lock pid; do
    [ -n "$lock" ] || continue
    display=${lock#/tmp/.X} display=${display%-lock}
    wait_for 10 eval "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null
    wait_for 10 eval "! pgrep -f 'Xwayland :$display( |\$)' >/dev/null" ||
      pkill -9 -f "Xwayland :$display( |\$)"
    [ "$(tr -dc 0-9 2>/dev/null <"$lock")" = "$pid" ] || continue
    rm -f "$lock" "/tmp/.X11-unix/X$display"
  done
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

# The program's pass lines, with COLORCLICKER_LOG_PASSES=1 on its stderr:
# "colorclicker: pass N: C clicked, S skipped".
# pass_count LOG
pass_count() { grep -c '^colorclicker: pass ' "$1"; }
# clicks_told LOG: the clicks all passes so far told of.
clicks_told() { awk -F'[ :,]+' '/^colorclicker: pass / { n += $4 } END { print n + 0 }' "$1"; }
# incomplete_passes LOG FROM POINTS [SKIPPED]: the pass lines from pass FROM
# on that did not click POINTS points, or skipped other than SKIPPED of them
# (0 unless told; "any" for any number).
incomplete_passes() {
  awk -F'[ :,]+' -v from="$2" -v points="$3" -v skipped="${4:-0}" '/^colorclicker: pass / &&
    $3 >= from && ($4 != points || (skipped != "any" && $6 != skipped))' "$1"
}

# client_origin WINDOW: "X Y", where the window's client area starts on the
# screen, inside whatever frame a window manager gave it.
client_origin() {
  xwininfo -id "$1" | awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
    END { if (x == "") exit 1; print x + 0, y + 0 }'
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
