#!/usr/bin/env bash
# End to end on a private headless Wayland desktop: a user marks the area
# and colour on the real window by press-drag-release over a native Wayland
# window, types 500 and starts; the clicks must land on the target at the
# grid points and nowhere else, a target one colour unit off must get none,
# and closing the window while tracking ends the program with 0.
# Usage: wayland_e2e.sh SCENARIO COLORCLICKER WAYLAND_CLICK_TARGET DRIVER
#   On sway (wlroots; DRIVER is pointer_driver):
#     scale-1 | scale-1.5 | second-output (the target on a second output at
#     scale 1.5, beside one at scale 1) | turned (an output turned a quarter,
#     whose copies come sideways)
#   On mutter (GNOME, through the desktop portal; DRIVER is
#   mutter_input_driver, which also answers the portal's dialog):
#     gnome: one monitor; then started again and refused, twice: each time
#       a message, the window stays, and no click
#     gnome-second-monitor: two monitors, the target on the second
set -u
scenario=$1 app=$2 target=$3 driver=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib/xsession.sh"
. "$here/../../scripts/lib/swaysession.sh"
. "$here/../../scripts/lib/muttersession.sh"
work=$(mktemp -d)
chmod 755 "$work"
# The session's user may not reach the build folder: it runs copies.
cp "$app" "$target" "$driver" "$work/" || exit 1
app=$work/$(basename "$app") target=$work/$(basename "$target") driver=$work/$(basename "$driver")
trap 'exec 3>&-; stop_started; rm -rf "$work" "${SWAY_RUNTIME:-}" "${SWAY_CURSORS:-}" "${MUTTER_RUNTIME:-}"' EXIT

fail() {
  echo "FAIL ($scenario): $*"
  echo "--- colorclicker:"; cat "$work/app.err" 2>/dev/null
  echo "--- first clicks:"; head -n 30 "$runtime/clicks.log" 2>/dev/null
  cat "$work/pointer.err" "${MUTTER_RUNTIME:-/nonexistent}/input.err" 2>/dev/null
  exit 1
}

# The target's output: its place in the layout (logical), its origin in
# the program's screen space (physical) and its scale.
case $scenario in
  scale-1) desktop=sway outputs=1 out_lx=0 out_px=0 scale=1
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1" ;;
  scale-1.5) desktop=sway outputs=1 out_lx=0 out_px=0 scale=1.5
    screens="output HEADLESS-1 resolution 1920x1080 position 0 0 scale 1.5" ;;
  second-output) desktop=sway outputs=2 out_lx=1280 out_px=1920 scale=1.5
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1
output HEADLESS-2 resolution 1920x1080 position 1280 0 scale 1.5" ;;
  turned) desktop=sway outputs=1 out_lx=0 out_px=0 scale=1
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1 transform 90" ;;
  gnome) desktop=mutter monitors=(1920x1080) out_lx=0 out_px=0 scale=1 ;;
  gnome-second-monitor) desktop=mutter monitors=(1920x1080 1920x1080) out_lx=1920 out_px=1920 scale=1 ;;
  *) echo "unknown scenario $scenario"; exit 2 ;;
esac

calc() { awk "BEGIN { printf \"%s\", $* }"; }
# Output-local physical pixel -> the whole logical unit the user points at
# (the first one inside it), and the pixel that unit then stands for.
to_logical() { calc "int(($1) / $scale + 0.999999)"; }
to_screen_x() { calc "$out_px + int(($1) * $scale + 1e-6)"; }
to_screen_y() { calc "int(($1) * $scale + 1e-6)"; }

# Target 200 x 30 at output pixel (450, 321), the near miss 0x3366cd 100
# pixels below; the window that shows them at logical (200, 190) of the
# output (on mutter wherever it places it). Rows of the grid fall one pixel
# inside the target's top and bottom edges, whose pixels a scaled window
# blends with its neighbours.
win_x=200 win_y=190 win_w=600 win_h=300
patch() { echo "$(calc "$1 / $scale - $win_x") $(calc "$2 / $scale - $win_y") $(calc "200 / $scale") $(calc "30 / $scale") $3"; }

# What differs between the two desktops: starting programs in the session
# (in_session sets SESSION_COMMAND), the pointer, keys, where our window is
# and how it is closed.
if [ "$desktop" = sway ]; then
  cat >"$work/sway.conf" <<CONF
$screens
default_border none
default_floating_border none
focus_follows_mouse no
for_window [app_id="wayland_click_target"] floating enable, move absolute position $((out_lx + win_x)) $win_y
for_window [title="^Form1\$"] floating enable, move absolute position 0 0
CONF
  chmod 644 "$work/sway.conf"
  start_sway "$work/sway.conf" "$outputs" || exit 1
  runtime=$SWAY_RUNTIME
  window_rect() {
    as_session_user swaymsg -t get_tree |
      jq -r ".. | objects | select(.name? == \"$1\") | .rect | \"\(.x) \(.y)\"" | head -1
  }
  form_rect() { window_rect Form1; }
  # One virtual pointer for the whole story, fed through a pipe.
  # Opened both ways first, so that neither end waits for the other.
  start_pointer() {
    mkfifo "$work/pointer.in"
    exec 3<>"$work/pointer.in"
    # Not through start_bg: a job started in the background there reads
    # /dev/null. Without the test's own end of the pipe, so that it ends
    # when the test closes that.
    in_session "$driver"
    "${SESSION_COMMAND[@]}" <"$work/pointer.in" >"$work/pointer.out" 2>"$work/pointer.err" 3>&- &
    STARTED_PIDS+=($!)
    sent=0
  }
  all_sent() { [ "$(grep -c ok "$work/pointer.out")" -ge "$sent" ]; }
  pointer() {
    echo "$*" >&3
    sent=$((sent + 1))
    wait_for 5 all_sent || fail "pointer driver stuck at: $*"
  }
  # One wtype for all keys: XWayland can drop the first key after a keymap
  # arrives, so it gets a moment first.
  select_all_and_type() { as_session_user wtype -s 300 -M ctrl -k a -m ctrl -s 100 -d 50 "$1"; }
  close_form() { as_session_user swaymsg '[title="^Form1$"] kill' >/dev/null; }
  backend='screen: wlr-screencopy'
else
  start_mutter "${monitors[@]}" || exit 1
  runtime=$MUTTER_RUNTIME
  # Our window is an X window: X says where mutter put it (xdotool counts
  # the frame twice).
  form_rect() {
    as_session_user xwininfo -name Form1 2>/dev/null |
      awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { print x, $NF }'
  }
  start_pointer() { start_mutter_input "$driver"; }
  pointer() { mutter_input "$@" || fail "input driver stuck at: $*"; }
  select_all_and_type() { pointer key 0xffe3+0x61 && pointer type "$1"; }
  close_form() { as_session_user wmctrl -c Form1; }
  # The message, a window of its own titled colorclicker: closed as by its OK.
  message_id() { as_session_user wmctrl -l | awk '/ colorclicker$/ { print $1; exit }'; }
  has_message() { [ -n "$(message_id)" ]; }
  close_message() {
    wait_for 10 has_message || fail "no message window"
    as_session_user wmctrl -i -c "$(message_id)"
    wait_for 10 eval '! has_message' || fail "the message did not close"
  }
  backend='screen: portal ScreenCast'
fi

start_pointer
in_session env QT_QPA_PLATFORM=wayland "$target" "$runtime/clicks.log" "$win_w" "$win_h" \
  $(patch 450 321 3366cc) $(patch 450 420 3366cd)
start_bg "${SESSION_COMMAND[@]}"
wait_for 15 grep -qs ready "$runtime/clicks.log" || fail "target did not start"
# Where the target's top-left pixel is, output-local: sway puts the window
# where told; mutter places it itself, and the test finds it on the screen.
tx=450 ty=321
if [ "$desktop" = mutter ]; then
  # Super+Shift+Right: mutter moves the focused window, the new target, to
  # the monitor on the right; sent again until it is there, as the target
  # may not have the focus yet (on the rightmost monitor it does nothing).
  target_at() {
    pointer find 3366cc
    read -r tx ty <<<"$(grep '^at ' "$MUTTER_RUNTIME/input.out" | tail -1 | cut -c4-)"
    [ "$tx" != none ] && ((tx >= out_lx && tx < out_lx + 1920)) && return
    ((out_lx == 0)) || pointer key 0xffeb+0xffe1+0xff53
    return 1
  }
  wait_for 15 target_at || fail "test setup: the target is at $tx $ty"
  tx=$((tx - out_lx)) win_x=$((tx - 250)) win_y=$((ty - 131))
fi
in_session "$app"
start_bg "${SESSION_COMMAND[@]}" 2>"$work/app.err"
app_pid=$LAST_PID
has_form() { [ -n "$(form_rect)" ]; }
wait_for 20 has_form || fail "no colorclicker window"
grep -q "$backend" "$work/app.err" || fail "not the expected backend"
if [ "$desktop" = sway ]; then
  [ "$(window_rect wayland_click_target)" == "$((out_lx + win_x)) $win_y" ] ||
    fail "test setup: the target window is at $(window_rect wayland_click_target)"
else
  answer_consent share || fail "the portal's dialog was not answered"
  wait_for 10 grep -q 'shares' "$work/app.err" || fail "the portal did not share the screen"
  # Away from the area, which mutter may have put it over: to the first
  # monitor's far corner, as mutter places the target near the other.
  as_session_user xdotool search --name '^Form1$' windowmove --sync 1400 800 >/dev/null
  form_moved() { read -r form_x form_y <<<"$(form_rect)"; ((form_x >= 1400 && form_y >= 800)); }
  wait_for 5 form_moved || fail "test setup: colorclicker's window at $(form_rect)"
fi
read -r form_x form_y <<<"$(form_rect)"

# drag X0 Y0 X1 Y1 (logical): press at one point, release at another.
drag() {
  pointer move "$1" "$2"; sleep 0.2; pointer down; sleep 0.2
  pointer move "$(calc "($1 + $3) / 2")" "$(calc "($2 + $4) / 2")"; sleep 0.1
  pointer move "$3" "$4"; sleep 0.2; pointer up; sleep 0.3
}
click_at() { pointer move "$1" "$2"; sleep 0.1; pointer down; pointer up; sleep 0.3; }
target_clicks() { grep -c '^click .* 3366cc' "$runtime/clicks.log"; }
clicks_at_least() { [ "$(target_clicks)" -ge "$1" ]; }
form_alive() { kill -0 "$app_pid" 2>/dev/null; }

# Corners 50 left of and 20 above the target and (450, 148) past it, the
# colour 10 x 9 inside it (on sway (400, 301), (900, 469) and (460, 330)),
# all output pixels.
left=$(to_logical $((tx - 50))) top=$(to_logical $((ty - 20)))
right=$(to_logical $((tx + 450))) bottom=$(to_logical $((ty + 148)))
pick_x=$(to_logical $((tx + 10))) pick_y=$(to_logical $((ty + 9)))
# The user's story on the window at (form_x, form_y): both corners and the
# colour by press-drag-release, 500 ms typed, start.
drive_form() {
  drag $(control_at Button1 "$form_x" "$form_y") $((out_lx + left)) "$top"
  drag $(control_at Button2 "$form_x" "$form_y") $((out_lx + right)) "$bottom"
  drag $(control_at Button3 "$form_x" "$form_y") $((out_lx + pick_x)) "$pick_y"
  click_at $(control_at Edit6 "$form_x" "$form_y")
  select_all_and_type 500 && sleep 0.2
  click_at $(control_at Button4 "$form_x" "$form_y")
}
drive_form

expected=$(grid_hits "$(to_screen_x "$left")" "$(to_screen_y "$top")" "$(to_screen_x "$right")" \
  "$(to_screen_y "$bottom")" $((out_px + tx)) "$ty" 200 30 | sort -u)
[ "$(wc -l <<<"$expected")" -eq 20 ] || fail "test setup: expected 20 grid points"
# Two passes at 500 ms: 40 clicks within a bounded wait.
wait_for 20 clicks_at_least 40 || fail "fewer than 40 clicks on the target"
form_alive || fail "colorclicker exited"

if grep -q '^click .* 3366cd' "$runtime/clicks.log"; then fail "the near-miss target was clicked"; fi
# Back from the window's logical units to the program's screen space.
clicked=$(awk -v s="$scale" -v wx=$win_x -v wy=$win_y -v px="$out_px" \
  '/^click/ { printf "%d %d\n", px + int(($2 + wx) * s), int(($3 + wy) * s) }' \
  "$runtime/clicks.log" | sort -u)
[ "$clicked" == "$expected" ] ||
  fail "clicked points differ from the grid: $(diff <(echo "$expected") <(echo "$clicked") | tr '\n' ' ')"
if grep '^click' "$runtime/clicks.log" | grep -qv 'button 1$'; then fail "a button other than the left one"; fi

# For the README: the program beside the window it tracks.
if [ -n "${COLORCLICKER_SCREENSHOT:-}" ]; then
  if [ "$desktop" = sway ]; then
    as_session_user grim "$runtime/screenshot.png" && cp "$runtime/screenshot.png" "$COLORCLICKER_SCREENSHOT"
  else
    pointer shot "$runtime/screenshot.ppm" && convert "$runtime/screenshot.ppm" "$COLORCLICKER_SCREENSHOT"
  fi
fi

# Closing the window while tracking ends the program with code 0.
close_form
wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "colorclicker did not exit"
wait "$app_pid"; code=$?
[ "$code" -eq 0 ] || fail "exit code $code"

# No click without the user's consent: started again, the program is
# refused, says so and keeps its window; given the corners, its start
# button asks again, and is refused again.
if [ "$scenario" = gnome ]; then
  before=$(grep -c '^click' "$runtime/clicks.log")
  in_session env COLORCLICKER_LOG_PASSES=1 "$app"
  start_bg "${SESSION_COMMAND[@]}" 2>"$work/app.err"
  app_pid=$LAST_PID
  answer_consent refuse || fail "no dialog at the second start"
  wait_for 10 grep -q 'не разрешён' "$work/app.err" || fail "no message when the user refused"
  wait_for 10 has_form || fail "no window after the refusal"
  read -r form_x form_y <<<"$(form_rect)"
  close_message
  drive_form
  answer_consent refuse || fail "no dialog at the start of tracking"
  refusals_at_least() { [ "$(grep -c 'не разрешён' "$work/app.err")" -ge "$1" ]; }
  wait_for 10 refusals_at_least 2 || fail "no message at the second refusal"
  # Tracking runs all the same: three passes, and not a click.
  passes_at_least() { [ "$(grep -c '^colorclicker: pass ' "$work/app.err")" -ge "$1" ]; }
  passes_before=$(grep -c '^colorclicker: pass ' "$work/app.err")
  wait_for 10 passes_at_least $((passes_before + 3)) || fail "no passes after the refusal"
  [ "$(grep -c '^click' "$runtime/clicks.log")" -eq "$before" ] || fail "clicks without consent"
  close_message
  close_form
  wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "colorclicker did not exit after the refusal"
  wait "$app_pid"; code=$?
  [ "$code" -eq 0 ] || fail "exit code $code after the refusal"
fi
echo "PASS ($scenario): $(grep -c '^click' "$runtime/clicks.log") clicks, all on the 20 grid points of the target"
