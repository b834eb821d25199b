#!/usr/bin/env bash
# The headless demo: usage demo.sh COLORCLICKER CLICK_TARGET SCREENSHOT
set -u
app=$1 target=$2 screenshot=$3
. "$(dirname "$0")/xsession.sh"
work=$(mktemp -d)
trap 'stop_started; rm -rf "$work"' EXIT

echo "No X display: running the demo on a private Xvfb."
start_xvfb 1024x600 || exit 1
# A 200 x 30 button in the colour 0x2e8b57 at (520, 260).
start_bg "$target" "$work/clicks.log" 520 260 200 30 2e8b57
wait_for 10 grep -qs ready "$work/clicks.log" || { echo "target did not start"; exit 1; }
start_bg "$app"
wait_for 20 xdotool search --name '^Form1$' >/dev/null || { echo "colorclicker did not start"; exit 1; }
window=$(xdotool search --name '^Form1$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$window")"
sleep 0.5

echo "Marking the area (450,220)-(900,400), picking the colour at (600,275), interval 500 ms, start."
drive_colorclicker "$X" "$Y" 450 220 900 400 600 275 500
sleep 2.2
import -window root "$screenshot"
clicks=$(grep -c '^click' "$work/clicks.log")
points=$(awk '/^click/ {print $2, $3}' "$work/clicks.log" | sort -u | wc -l)
echo "$clicks clicks landed on the target, at $points distinct grid points."
echo "Screenshot: $screenshot"
