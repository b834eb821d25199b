#!/usr/bin/env bash
# End to end on a private Xvfb: a user marks the area and colour on the real
# window with press-drag-release, types 500 and starts; the clicks must land
# on the target at the grid points and nowhere else, and a target one colour
# unit off must get none.
# Usage: linux_e2e.sh COLORCLICKER CLICK_TARGET
set -u
app=$1 target=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib/xsession.sh"
work=$(mktemp -d)
trap 'stop_started; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; echo "--- first clicks:"; head -n 50 "$work/clicks.log"; exit 1; }
clicks_at_least() { [ "$(grep -c '^click' "$work/clicks.log")" -ge "$1" ]; }

start_xvfb 1280x800 || exit 1
# The target 0x3366cc at (450,320), the near miss 0x3366cd at (450,420).
start_bg "$target" "$work/clicks.log" 450 320 200 30 3366cc 450 420 200 30 3366cd
wait_for 10 grep -qs ready "$work/clicks.log" || fail "target did not start"
start_bg "$app" 2>"$work/app.err"
app_pid=$LAST_PID
wait_for 20 xdotool search --name '^Form1$' >/dev/null || fail "no colorclicker window"
window=$(xdotool search --name '^Form1$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
sleep 0.5

drive_colorclicker "$X" "$Y" 400 300 900 470 460 330 500

expected=$(grid_hits 400 300 900 470 450 320 200 30 | sort -u)
[ "$(wc -l <<<"$expected")" -eq 20 ] || fail "test setup: expected 20 grid points"
# Two passes at 500 ms: 40 clicks within a bounded wait.
wait_for 15 clicks_at_least 40 || fail "fewer than 40 clicks"
kill -0 "$app_pid" || fail "colorclicker exited"

if grep -q '^click .* 3366cd' "$work/clicks.log"; then fail "the near-miss target was clicked"; fi
clicked=$(awk '/^click/ {print $2, $3}' "$work/clicks.log" | sort -u)
[ "$clicked" == "$expected" ] || fail "clicked points differ from the grid: $(diff <(echo "$expected") <(echo "$clicked") | tr '\n' ' ')"
if grep '^click' "$work/clicks.log" | grep -qv 'button 1$'; then fail "a button other than the left one"; fi

# Closing the window while tracking ends the program with code 0.
"$target" --close "$window"
wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "colorclicker did not exit"
wait "$app_pid"; code=$?
[ "$code" -eq 0 ] || fail "exit code $code"
echo "PASS: $(grep -c '^click' "$work/clicks.log") clicks, all on the 20 grid points of the target"
