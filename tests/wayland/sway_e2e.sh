#!/usr/bin/env bash
# End to end on a private headless sway: a user marks the area and colour on
# the real window by press-drag-release over a native Wayland window, types
# 500 and starts; the clicks must land on the target at the grid points and
# nowhere else, a target one colour unit off must get none, and closing the
# window while tracking ends the program with 0.
# Usage: sway_e2e.sh SCENARIO COLORCLICKER WAYLAND_CLICK_TARGET POINTER_DRIVER
#   SCENARIO: scale-1 | scale-1.5 | second-output (the target on a second
#   output at scale 1.5, beside one at scale 1) | turned (an output turned a
#   quarter, whose copies come sideways)
set -u
scenario=$1 app=$2 target=$3 driver=$4
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib/xsession.sh"
. "$here/../../scripts/lib/swaysession.sh"
work=$(mktemp -d)
chmod 755 "$work"
# The session's user may not reach the build folder: it runs copies.
cp "$app" "$target" "$driver" "$work/" || exit 1
app=$work/$(basename "$app") target=$work/$(basename "$target") driver=$work/$(basename "$driver")
trap 'exec 3>&-; stop_started; rm -rf "$work" "${SWAY_RUNTIME:-}" "${SWAY_CURSORS:-}"' EXIT

fail() {
  echo "FAIL ($scenario): $*"
  echo "--- colorclicker:"; cat "$work/app.err" 2>/dev/null
  echo "--- first clicks:"; head -n 30 "$SWAY_RUNTIME/clicks.log" 2>/dev/null
  cat "$work/pointer.err" 2>/dev/null
  exit 1
}

# The target's output: its place in the layout (logical), its origin in
# the program's screen space (physical) and its scale.
case $scenario in
  scale-1) outputs=1 out_lx=0 out_px=0 scale=1
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1" ;;
  scale-1.5) outputs=1 out_lx=0 out_px=0 scale=1.5
    screens="output HEADLESS-1 resolution 1920x1080 position 0 0 scale 1.5" ;;
  second-output) outputs=2 out_lx=1280 out_px=1920 scale=1.5
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1
output HEADLESS-2 resolution 1920x1080 position 1280 0 scale 1.5" ;;
  turned) outputs=1 out_lx=0 out_px=0 scale=1
    screens="output HEADLESS-1 resolution 1280x720 position 0 0 scale 1 transform 90" ;;
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
# output. Rows of the grid fall one pixel inside the target's top and bottom
# edges, whose pixels a scaled window blends with its neighbours.
win_x=200 win_y=190 win_w=600 win_h=300
patch() { echo "$(calc "$1 / $scale - $win_x") $(calc "$2 / $scale - $win_y") $(calc "200 / $scale") $(calc "30 / $scale") $3"; }

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

in_sway_session env QT_QPA_PLATFORM=wayland "$target" "$SWAY_RUNTIME/clicks.log" "$win_w" "$win_h" \
  $(patch 450 321 3366cc) $(patch 450 420 3366cd)
start_bg "${SWAY_COMMAND[@]}"
wait_for 15 grep -qs ready "$SWAY_RUNTIME/clicks.log" || fail "target did not start"
in_sway_session "$app"
start_bg "${SWAY_COMMAND[@]}" 2>"$work/app.err"
app_pid=$LAST_PID
window_rect() {
  as_sway_user swaymsg -t get_tree |
    jq -r ".. | objects | select(.name? == \"$1\") | .rect | \"\(.x) \(.y)\"" | head -1
}
has_window() { [ -n "$(window_rect "$1")" ]; }
wait_for 20 has_window Form1 || fail "no colorclicker window"
grep -q 'screen: wlr-screencopy' "$work/app.err" || fail "not the wlroots backend"
read -r form_x form_y <<<"$(window_rect Form1)"
[ "$(window_rect wayland_click_target)" == "$((out_lx + win_x)) $win_y" ] ||
  fail "test setup: the target window is at $(window_rect wayland_click_target)"

# One virtual pointer for the whole story, fed through a pipe.
# Opened both ways first, so that neither end waits for the other.
mkfifo "$work/pointer.in"
exec 3<>"$work/pointer.in"
# Not through start_bg: a job started in the background there reads
# /dev/null. Without the test's own end of the pipe, so that it ends when
# the test closes that.
in_sway_session "$driver"
"${SWAY_COMMAND[@]}" <"$work/pointer.in" >"$work/pointer.out" 2>"$work/pointer.err" 3>&- &
STARTED_PIDS+=($!)
sent=0
all_sent() { [ "$(grep -c ok "$work/pointer.out")" -ge "$sent" ]; }
pointer() {
  echo "$*" >&3
  sent=$((sent + 1))
  wait_for 5 all_sent || fail "pointer driver stuck at: $*"
}
# drag X0 Y0 X1 Y1 (logical): press at one point, release at another.
drag() {
  pointer move "$1" "$2"; sleep 0.2; pointer down; sleep 0.2
  pointer move "$(calc "($1 + $3) / 2")" "$(calc "($2 + $4) / 2")"; sleep 0.1
  pointer move "$3" "$4"; sleep 0.2; pointer up; sleep 0.3
}
click_at() { pointer move "$1" "$2"; sleep 0.1; pointer down; pointer up; sleep 0.3; }

# Corners (400, 301) and (900, 469), colour at (460, 330), all output pixels.
left=$(to_logical 400) top=$(to_logical 301) right=$(to_logical 900) bottom=$(to_logical 469)
pick_x=$(to_logical 460) pick_y=$(to_logical 330)
drag $((form_x + 124)) $((form_y + 20)) $((out_lx + left)) "$top"       # Button1
drag $((form_x + 124)) $((form_y + 44)) $((out_lx + right)) "$bottom"   # Button2
drag $((form_x + 124)) $((form_y + 68)) $((out_lx + pick_x)) "$pick_y"  # Button3
click_at $((form_x + 300)) $((form_y + 92))                             # Edit6
# One wtype for all keys: XWayland can drop the first key after a keymap
# arrives, so it gets a moment first.
as_sway_user wtype -s 300 -M ctrl -k a -m ctrl -s 100 -d 50 500 && sleep 0.2
click_at $((form_x + 124)) $((form_y + 92))                             # Button4

expected=$(grid_hits "$(to_screen_x "$left")" "$(to_screen_y "$top")" "$(to_screen_x "$right")" \
  "$(to_screen_y "$bottom")" $((out_px + 450)) 321 200 30 | sort -u)
[ "$(wc -l <<<"$expected")" -eq 20 ] || fail "test setup: expected 20 grid points"
clicks_at_least() { [ "$(grep -c '^click .* 3366cc' "$SWAY_RUNTIME/clicks.log")" -ge "$1" ]; }
# Two passes at 500 ms: 40 clicks within a bounded wait.
wait_for 20 clicks_at_least 40 || fail "fewer than 40 clicks on the target"
kill -0 "$app_pid" 2>/dev/null || fail "colorclicker exited"

if grep -q '^click .* 3366cd' "$SWAY_RUNTIME/clicks.log"; then fail "the near-miss target was clicked"; fi
# Back from the window's logical units to the program's screen space.
clicked=$(awk -v s="$scale" -v wx=$win_x -v wy=$win_y -v px="$out_px" \
  '/^click/ { printf "%d %d\n", px + int(($2 + wx) * s), int(($3 + wy) * s) }' \
  "$SWAY_RUNTIME/clicks.log" | sort -u)
[ "$clicked" == "$expected" ] ||
  fail "clicked points differ from the grid: $(diff <(echo "$expected") <(echo "$clicked") | tr '\n' ' ')"
if grep '^click' "$SWAY_RUNTIME/clicks.log" | grep -qv 'button 1$'; then fail "a button other than the left one"; fi

# For the README: the program beside the window it tracks.
if [ -n "${COLORCLICKER_SCREENSHOT:-}" ]; then
  as_sway_user grim "$SWAY_RUNTIME/screenshot.png" && cp "$SWAY_RUNTIME/screenshot.png" "$COLORCLICKER_SCREENSHOT"
fi

# Closing the window while tracking ends the program with code 0.
as_sway_user swaymsg '[title="^Form1$"] kill' >/dev/null
wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "colorclicker did not exit"
wait "$app_pid"; code=$?
[ "$code" -eq 0 ] || fail "exit code $code"
echo "PASS ($scenario): $(grep -c '^click' "$SWAY_RUNTIME/clicks.log") clicks, all on the 20 grid points of the target"
