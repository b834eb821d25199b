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
#     whose copies come sideways) | painted-pointer (the stock pointer,
#     painted into every copy, over a target twice as tall whose 20 points
#     lie in one column, each below the one clicked before: every pass
#     clicks all 20) | depth-10 | compositor-stops (tests/wayland/sway_faults.sh)
#     outputs-change: a target on each of two outputs, each shown by a
#       backdrop that logs every press; under 15 ms passes the second
#       output is moved, rescaled, unplugged and plugged in again 100
#       times, and left at 1280 x 720 pixels, which sway tells as 853 x 480
#       units: no press but on the targets' grid points, and then every
#       one of them again
#   On mutter (GNOME, through the desktop portal; DRIVER is
#   mutter_input_driver, which also answers the portal's dialog):
#     gnome: one monitor; the portal, then its GNOME backend, then PipeWire
#       killed while tracking: each time a message, no click after it, and
#       the start button asks again and clicks exactly again; then started
#       again and refused, twice: each time a message, the window stays,
#       and no click
#     gnome-second-monitor: two monitors, the target on the second
#     gnome-pointer: one monitor, 1000 ms passes; the user's pointer moved
#       to and fro over the target's window right after a pass, and right
#       after a new session was allowed (the portal killed): no press
#       follows it, and the points left out are told as skipped
#     gnome-soak (run by hand, not in the suite, which it would outlast):
#       tracking at 10 ms for SOAK_MINUTES (10) over a target that shows and
#       hides every 250 ms; the program's private memory, fds and threads
#       at the start and after every minute
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
  # What the portal and its backend said: they log to the session bus's output.
  [ -z "${MUTTER_RUNTIME:-}" ] || { echo "--- GNOME session:"; tail -n 40 "$MUTTER_RUNTIME/session.log"; }
  exit 1
}

# The target's output: its place in the layout (logical), its origin in
# the program's screen space (physical) and its scale.
case $scenario in
  scale-1 | compositor-stops) desktop=sway outputs=1 out_lx=0 out_px=0 scale=1
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1" ;;
  scale-1.5) desktop=sway outputs=1 out_lx=0 out_px=0 scale=1.5
    screens="output HEADLESS-1 resolution 1920x1080 position 0 0 scale 1.5" ;;
  second-output) desktop=sway outputs=2 out_lx=1280 out_px=1920 scale=1.5
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1
output HEADLESS-2 resolution 1920x1080 position 1280 0 scale 1.5" ;;
  turned) desktop=sway outputs=1 out_lx=0 out_px=0 scale=1
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1 transform 90" ;;
  depth-10) desktop=sway outputs=1 out_lx=0 out_px=0 scale=1
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1 render_bit_depth 10" ;;
  painted-pointer) desktop=sway outputs=1 out_lx=0 out_px=0 scale=1 pointer=stock target_h=60 left_off=110
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1" ;;
  # Headless outputs cannot be unplugged: these are windows of another sway.
  # The backdrops float at their outputs' top-left, at a size of their own
  # that covers the output at any scale, and go wherever it goes.
  outputs-change) desktop=sway outputs=2 out_lx=0 out_px=0 scale=1 interval=15 nested=1
    screens="output WL-1 resolution 1280x720 position 0 0 scale 1
output WL-2 resolution 1920x1080 position 1380 0 scale 1.5
workspace 1 output WL-1
workspace 2 output $(echo WL-{2..102})
assign [app_id=\"backdrop1\"] workspace 1
assign [app_id=\"backdrop2\"] workspace 2
floating_maximum_size -1 x -1
for_window [app_id=\"^backdrop\"] floating enable, move position 0 0" ;;
  gnome) desktop=mutter monitors=(1920x1080) out_lx=0 out_px=0 scale=1 ;;
  gnome-pointer) desktop=mutter monitors=(1920x1080) out_lx=0 out_px=0 scale=1 interval=1000 ;;
  gnome-second-monitor) desktop=mutter monitors=(1920x1080 1920x1080) out_lx=1920 out_px=1920 scale=1 ;;
  gnome-soak) desktop=mutter monitors=(1920x1080) out_lx=0 out_px=0 scale=1 interval=10 flash=${SOAK_FLASH:-250} ;;
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
target_h=${target_h:-30}
patch() { echo "$(calc "$1 / $scale - $win_x") $(calc "$2 / $scale - $win_y") $(calc "200 / $scale") $(calc "$4 / $scale") $3"; }

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
  if [ -n "${nested:-}" ]; then
    cat >"$work/outer.conf" <<CONF
output HEADLESS-1 resolution 3300x1200 position 0 0
default_floating_border none
for_window [title="^wlroots - WL-1\$"] floating enable, move absolute position 0 0
for_window [title="^wlroots - WL-([2-9]|[0-9][0-9]+)\$"] floating enable, move absolute position 1300 0
CONF
    chmod 644 "$work/outer.conf"
    { start_sway "$work/outer.conf" 1 && start_nested_sway "$work/sway.conf" "$outputs"; } || exit 1
  else
    start_sway "$work/sway.conf" "$outputs" "${pointer:-invisible}" || exit 1
  fi
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
  # The message, a window of its own titled colorclicker.
  message_id() { as_session_user wmctrl -l | awk '/ colorclicker$/ { print $1; exit }'; }
  has_message() { [ -n "$(message_id)" ]; }
  # In front with the keyboard, so that the user's Return closes it.
  message_active() { [ "$(as_session_user xdotool getactivewindow getwindowname 2>/dev/null)" = colorclicker ]; }
  close_message() {
    wait_for 10 has_message || fail "no message window"
    wait_for 5 message_active || fail "the message does not have the keyboard"
    # XWayland may drop the first key after a new keyboard's keymap (the
    # input driver's, started again with PipeWire): Shift goes first.
    pointer key 0xffe1 && sleep 0.3 && pointer key 0xff0d
    wait_for 10 eval '! has_message' || fail "the message did not close"
  }
  backend='screen: portal ScreenCast'
fi

start_pointer
if [ "$scenario" = outputs-change ]; then
  # A backdrop over each output, the first with the target at (450, 321)
  # as elsewhere, the second with one at logical (300, 310), whose edges
  # fall on pixel edges at scale 1.5 too. Our window goes to the first
  # output, over its backdrop.
  for n in 2 1; do
    in_session env QT_QPA_PLATFORM=wayland TARGET_NAME=backdrop$n "$target" "$runtime/clicks$n.log" \
      $((n == 1 ? 1280 : 1920)) $((n == 1 ? 720 : 1080)) $((n == 1 ? 450 : 300)) \
      $((n == 1 ? 321 : 310)) 200 30 3366cc
    start_bg "${SESSION_COMMAND[@]}"
    wait_for 15 grep -qs ready "$runtime/clicks$n.log" || fail "backdrop $n did not start"
  done
  cat "$runtime/clicks1.log" "$runtime/clicks2.log" >"$runtime/clicks.log"
else
  # On sway, whether the pointer leaves the target after a click.
  in_session env QT_QPA_PLATFORM=wayland TARGET_FLASH_MS="${flash:-0}" \
    TARGET_LOG_POINTER=$([ "$desktop" = sway ] && echo 1) "$target" "$runtime/clicks.log" \
    "$win_w" "$win_h" $(patch 450 321 3366cc "$target_h") $(patch 450 420 3366cd 30)
  start_bg "${SESSION_COMMAND[@]}"
  wait_for 15 grep -qs ready "$runtime/clicks.log" || fail "target did not start"
fi
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
  # mutter may move a window again after it first shows it (seen: 100 px
  # up, which put the pick point on the near miss): found twice, half a
  # second apart, in the same place.
  target_settled() {
    local was
    target_at || return 1
    was="$tx $ty"
    sleep 0.5
    target_at && [ "$tx $ty" = "$was" ]
  }
  locate_target() {
    wait_for 20 target_settled || fail "test setup: the target is at $tx $ty"
    tx=$((tx - out_lx)) win_x=$((tx - 250)) win_y=$((ty - 131))
  }
  locate_target
fi
in_session env COLORCLICKER_LOG_PASSES=1 "$app"
start_bg "${SESSION_COMMAND[@]}" 2>"$work/app.err"
app_pid=$LAST_PID
has_form() { [ -n "$(form_rect)" ]; }
wait_for 20 has_form || fail "no colorclicker window"
grep -q "$backend" "$work/app.err" || fail "not the expected backend"
if [ "$scenario" = outputs-change ]; then
  [ "$(window_rect backdrop1) $(window_rect backdrop2)" == "0 0 1380 0" ] ||
    fail "test setup: the backdrops are at $(window_rect backdrop1), $(window_rect backdrop2)"
elif [ "$desktop" = sway ]; then
  [ "$(window_rect wayland_click_target)" == "$((out_lx + win_x)) $win_y" ] ||
    fail "test setup: the target window is at $(window_rect wayland_click_target)"
  [ "$scenario" != depth-10 ] || copies_are_10_bit
else
  answer_consent share || fail "the portal's dialog was not answered"
  wait_for 10 grep -q 'shares' "$work/app.err" || fail "the portal did not share the screen"
  # Away from the area, which mutter may have put it over: to the first
  # monitor's far corner, as mutter places the target near the other.
  as_session_user xdotool search --name '^Form1$' windowmove --sync 1400 800 >/dev/null
  form_moved() { read -r form_x form_y <<<"$(form_rect)"; ((form_x >= 1400 && form_y >= 800)); }
  wait_for 5 form_moved || fail "test setup: colorclicker's window at $(form_rect)"
  # Once more, now that our window is in place.
  locate_target
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
passes() { pass_count "$work/app.err"; }
passes_at_least() { [ "$(passes)" -ge "$1" ]; }

# Corners 50 (painted-pointer: 110) left of and 20 above the target and
# (450, 148) past it, the colour 10 x 9 inside it (on sway (400, 301),
# (900, 469) and (460, 330)), all output pixels.
left=$(to_logical $((tx - ${left_off:-50}))) top=$(to_logical $((ty - 20)))
right=$(to_logical $((tx + 450))) bottom=$(to_logical $((ty + 148)))
pick_x=$(to_logical $((tx + 10))) pick_y=$(to_logical $((ty + 9)))
# Across both outputs: the bottom-right corner at logical (700, 400) of the
# second.
[ "$scenario" != outputs-change ] || right=2080 bottom=400
# The user's story on the window at (form_x, form_y): both corners and the
# colour by press-drag-release, 500 ms typed, start.
drive_form() {
  drag $(control_at Button1 "$form_x" "$form_y") $((out_lx + left)) "$top"
  drag $(control_at Button2 "$form_x" "$form_y") $((out_lx + right)) "$bottom"
  drag $(control_at Button3 "$form_x" "$form_y") $((out_lx + pick_x)) "$pick_y"
  click_at $(control_at Edit6 "$form_x" "$form_y")
  select_all_and_type "${interval:-500}" && sleep 0.2
  click_at $(control_at Button4 "$form_x" "$form_y")
}
drive_form

. "$here/outputs_change.sh"
. "$here/sway_faults.sh"

if [ "$scenario" = outputs-change ]; then
  outputs_change
else
  expected=$(grid_hits "$(to_screen_x "$left")" "$(to_screen_y "$top")" "$(to_screen_x "$right")" \
    "$(to_screen_y "$bottom")" $((out_px + tx)) "$ty" 200 "$target_h" | sort -u)
  [ "$(wc -l <<<"$expected")" -eq 20 ] || fail "test setup: expected 20 grid points"
  # Two passes at 500 ms: 40 clicks within a bounded wait.
  wait_for 20 clicks_at_least 40 || fail "fewer than 40 clicks on the target"
  form_alive || fail "colorclicker exited"

  if grep -q '^click .* 3366cd' "$runtime/clicks.log"; then fail "the near-miss target was clicked"; fi
  # Back from the window's logical units to the program's screen space.
  clicked_points() {
    awk -v s="$scale" -v wx=$win_x -v wy=$win_y -v px="$out_px" \
      '/^click/ { printf "%d %d\n", px + int(($2 + wx) * s), int(($3 + wy) * s) }' \
      "$runtime/clicks.log" | sort -u
  }
  clicked=$(clicked_points)
  # A flashing target (gnome-soak) may not have been clicked at every point
  # yet, but never elsewhere.
  [ "$clicked" == "$expected" ] || { [ -n "${flash:-}" ] && [ -z "$(comm -13 <(echo "$expected") <(echo "$clicked"))" ]; } ||
    fail "clicked points differ from the grid: $(diff <(echo "$expected") <(echo "$clicked") | tr '\n' ' ')"
  if grep '^click' "$runtime/clicks.log" | grep -qv 'button 1$'; then fail "a button other than the left one"; fi
  # Every pass on the untouched desktop clicks all 20 points and skips
  # none; on sway the first too. With the pointer painted into what is
  # read, too: after each click the arrow lies over the rows below it.
  if [ -z "${flash:-}" ]; then
    wait_for 60 passes_at_least 3 || fail "fewer than 3 passes"
    short=$(incomplete_passes "$work/app.err" "$([ "$desktop" = sway ] && echo 1 || echo 2)" 20)
    [ -z "$short" ] || fail "passes that did not click all 20 points: $(tr '\n' ' ' <<<"$short")"
    # And each click they told of reached the target.
    told=$(clicks_told "$work/app.err")
    wait_for 10 clicks_at_least "$told" || fail "the passes told of $told clicks, the target had $(target_clicks)"
  fi
  # With the pointer on a plane of its own (the invisible one), it stays
  # where the last click put it: once on the target, it leaves at most once
  # (when the program looks whether copies show it).
  if [ "$desktop" = sway ] && [ "${pointer:-invisible}" = invisible ]; then
    left_target=$(awk '/^click/ { c = 1 } c && /^leave/ { n++ } END { print n + 0 }' "$runtime/clicks.log")
    ((left_target <= 1)) && [ "$(grep -E '^(click|leave)' "$runtime/clicks.log" | tail -1 | cut -c1-5)" = click ] ||
      fail "the pointer left the target $left_target times after the clicks"
  fi
fi

[ "$scenario" != compositor-stops ] || survives_a_stopped_compositor
. "$here/portal_faults.sh"
if [ "$scenario" = gnome ]; then
  for service in portal backend pipewire; do survives_losing "$service"; done
fi

if [ "$scenario" = gnome-pointer ]; then
  p=$(passes)
  wait_for 10 passes_at_least $((p + 1)) || fail "no passes"
  user_moves
  survives_losing portal
fi

if [ "$scenario" = gnome-soak ]; then
  figures() {
    echo "private $(awk '/^Private_/ { kb += $2 } END { print kb }' "/proc/$app_pid/smaps_rollup") kB," \
      "$(find "/proc/$app_pid/fd" -mindepth 1 | wc -l) fds," \
      "$(awk '/^Threads:/ { print $2 }' "/proc/$app_pid/status") threads," \
      "$(passes) passes, $(target_clicks) clicks"
  }
  echo "soak start: $(figures)"
  for ((minute = 1; minute <= ${SOAK_MINUTES:-10}; minute++)); do
    sleep 60
    form_alive || fail "colorclicker exited"
    echo "after $minute min: $(figures)"
  done
fi

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

[ "$scenario" != gnome ] || refused_twice
echo "PASS ($scenario): $(grep -c '^click' "$runtime/clicks.log") clicks, all on the 20 grid points of the target"
