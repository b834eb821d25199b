#!/usr/bin/env bash
# End to end under Wine: capture both corners and the colour with
# press-drag-release on the real window, set 500 ms, start, and check that
# the clicks land on exactly the expected grid points of a target of that
# colour and nowhere else, as a low-level mouse hook logs every press on
# the desktop (mouse_watch.exe). From the pass lines on stderr: every pass
# but the first clicks all 20 points and skips none. By scenario:
#   story           one 1280x800 monitor: bulk reads, an error shown, the
#                   keyboard, then the clicks beside another program's slow
#                   low-level mouse hook, and closing the window
#   two-monitors    the primary on the right, the other left of it at
#                   negative x and of another height: the story there,
#                   with the program's own window inside the area (its
#                   points skipped, the same on every pass)
#   scale-150       LogPixels 144: the window laid out at 150 %, clicks in
#                   physical pixels
#   depth-16        a 16-bit screen: the captured colour is what the scan sees
#   clipped-cursor  then a program clips the cursor to a rectangle that
#                   leaves the target's right column out: no click there
#                   (skipped on every pass), none at the clip's edge, the
#                   left column still clicked
#   wine_e2e.sh BUILD_DIR [SCENARIO] [COLORCLICKER_EXE]
# BUILD_DIR holds click_target.exe, mouse_watch.exe, screen_read_check.exe
# and, unless another one is given (the one from the zip), colorclicker.exe.
set -euo pipefail

build=$(cd "${1:?usage: wine_e2e.sh BUILD_DIR [SCENARIO] [COLORCLICKER_EXE]}" && pwd)
scenario=${2:-story}
exe=$(realpath "${3:-$build/colorclicker.exe}")
target_exe=$build/click_target.exe watch_exe=$build/mouse_watch.exe
read_check_exe=$build/screen_read_check.exe
for f in "$exe" "$target_exe" "$watch_exe" "$read_check_exe"; do
  [[ -f $f ]] || { echo "missing $f" >&2; exit 1; }
done

# --- the scene, in Windows screen coordinates --------------------------------
# Target A has the colour that gets captured, B is one unit of blue away
# from it (at 16 bits, one step of green: 16-bit pixels lose the low bits).
area=(400 250 1100 520) goal=(500 300 200 30) near=(700 400 200 30)
color=2080C0 near_color=2080C1
xoffset=0 dpi=96 window_at=
case $scenario in
  story | depth-16 | clipped-cursor) ;;
  two-monitors)
    # Wine puts the primary at (0, 0): the left head is x -1024..-1, 768
    # high, and X's x is Windows' + 1024.
    WINE_HEADS="1024x768 1280x1024" xoffset=1024
    WINE_REGISTRY='[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"UseXRandR"="N"
"PrimaryMonitor"="1"'
    area=(-900 100 -250 700) goal=(-850 200 200 30) near=(-850 300 200 30)
    window_at=(-724 400) ;;  # the client area, Edit5 inside the area
  scale-150)
    dpi=144
    WINE_REGISTRY='[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000090
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts]
"LogPixels"=dword:00000090'
    # Below the window, which is half as large again.
    area=(400 350 1100 620) goal=(500 400 200 30) near=(700 500 200 30) ;;
  *) echo "unknown scenario $scenario" >&2; exit 2 ;;
esac
if [[ $scenario == depth-16 ]]; then WINE_DEPTH=16 near_color=2084C0; fi
. "$(dirname "$0")/wine_env.sh"
fail() { echo "FAIL ($scenario): $*" >&2; exit 1; }
to_x() { echo $(($1 + xoffset)) "$2"; }  # Windows x y -> X x y

start_target() {  # log x y rrggbb [w h]
  : >"$work/$1.log"
  start_bg "$wine" "$target_exe" "$2" "$3" "$4" "$(winpath "$work/$1.log")" "${@:5}" >/dev/null 2>&1
}
start_watch() {  # log [--clip l t r b]
  start_bg "$wine" "$watch_exe" "$(winpath "$work/$1.log")" "${@:2}" >/dev/null 2>&1
  wait_for 30 grep -qs ready "$work/$1.log" || fail "mouse_watch $1 did not start"
}
# In the story the hook takes 20 ms over every button event: our clicks
# must wait for it, not go on ahead of it.
start_watch presses $([[ $scenario == story ]] && echo --slow 20)
if [[ $scenario == story ]]; then
  # A backdrop fills the area, so that a click anywhere off the targets
  # is logged by a window too.
  start_target backdrop "${area[0]}" "${area[1]}" 404040 $((area[2] - area[0])) $((area[3] - area[1]))
  wait_for 30 xdotool search --name '^click_target$' >/dev/null || fail "backdrop did not show"
fi
if [[ $scenario == clipped-cursor ]]; then
  # The clip's edge (x 580) in a gap between two halves of target A: under
  # Wine the process whose window is under a cursor move reports it again,
  # late (see below), and none is there to report the edge.
  start_target a "${goal[0]}" "${goal[1]}" "$color" 60 "${goal[3]}"
  start_target a2 $((goal[0] + 100)) "${goal[1]}" "$color" 60 "${goal[3]}"
else
  start_target a "${goal[0]}" "${goal[1]}" "$color" "${goal[2]}" "${goal[3]}"
fi
start_target b "${near[0]}" "${near[1]}" "$near_color" "${near[2]}" "${near[3]}"
targets=$([[ $scenario == story || $scenario == clipped-cursor ]] && echo 3 || echo 2)
wait_for 30 bash -c "[[ \$(xdotool search --name '^click_target\$' | wc -l) -ge $targets ]]" ||
  fail "targets did not show"

start_bg env COLORCLICKER_LOG_PASSES=1 "$wine" "$exe" >/dev/null 2>"$work/app.err"
app_pid=$LAST_PID
wait_for 60 xdotool search --onlyvisible --name '^Form1$' >/dev/null || fail "Form1 did not show"
form=$(xdotool search --onlyvisible --name '^Form1$' | head -n1)
[[ -z $window_at ]] || xdotool windowmove --sync "$form" $(to_x "${window_at[@]}")
sleep 1
# The X window is the client area; controls sit at their layout positions
# at the window's DPI.
eval "$(xdotool getwindowgeometry --shell "$form")"
client_x=$X client_y=$Y
((WIDTH == 356 * dpi / 96 && HEIGHT == 188 * dpi / 96)) ||
  fail "the client area is ${WIDTH}x$HEIGHT at $dpi dpi"
for control in Button1 Button2 Button3 Button4 Edit1 Edit6; do
  at=$(control_at "$control" "$client_x" "$client_y" "$dpi") || fail "no $control in the layout"
  declare "${control,}=$at"
done
read -r edit5_left edit5_top edit5_width edit5_height <<<"$(control_rect Edit5)"

if [[ $scenario == story ]]; then
  # A point inside Edit5 right of its text, where its background shows.
  edit5_probe="$((client_x + edit5_left + edit5_width - 11)) $((client_y + edit5_top + 10))"
  screen_color() {  # x y -> RRGGBB of that screen pixel
    import -window root -crop "1x1+$1+$2" -depth 8 txt:- | grep -o '#[0-9A-Fa-f]\{6\}' | head -n1 | tr -d '#'
  }
  edit5_shows() { [[ $(screen_color $edit5_probe) == "$1" ]]; }
  expect_edit5() {  # rrggbb what-was-done
    wait_for 5 edit5_shows "$1" ||
      fail "after $2 Edit5 shows $(screen_color $edit5_probe) instead of $1"
  }

  # --- bulk screen reads ------------------------------------------------------
  # With the scene and the window on the screen, the scan pass's reads must
  # agree with GDI's GetPixel everywhere, and come back after failing.
  if ! "$wine" "$read_check_exe" >"$work/read_check.log" 2>&1; then
    cat "$work/read_check.log" >&2
    fail "screen reads differ from GetPixel or do not come back"
  fi

  # --- an error from a handler ------------------------------------------------
  # Start with no corners captured: the corner text "Y" is no number. The error
  # shows in a message box and the program goes on once it is dismissed.
  xdotool mousemove $button4 sleep 0.2 click 1
  wait_for 10 xdotool search --onlyvisible --name '^colorclicker$' >/dev/null || fail "no error box for Button4 without corners"
  box=$(xdotool search --onlyvisible --name '^colorclicker$' | head -n1)
  xdotool windowfocus "$box" sleep 0.2 key Return
  wait_for 10 bash -c '! xdotool search --onlyvisible --name "^colorclicker\$" >/dev/null' || fail "the error box stayed"
  kill -0 "$app_pid" 2>/dev/null || fail "colorclicker ended after the error"

  # --- keyboard: Tab order and a key released on Button3 ---------------------
  # Tab from Button2 and Shift+Tab from Edit1 both land on Button3, where the
  # key's release captures the colour under the cursor. Without a window
  # manager X keyboard focus follows the pointer, so it is pinned to the form.
  xdotool mousemove $button2 sleep 0.2 click 1 sleep 0.3 windowfocus "$form" \
    mousemove $((near[0] + 50)) $((near[1] + 15)) sleep 0.3 key Tab
  expect_edit5 "$near_color" "Tab from Button2 with the cursor on target B"
  xdotool mousemove $edit1 sleep 0.2 click 1 sleep 0.3 windowfocus "$form" \
    mousemove $((area[0] + 10)) $((area[1] + 10)) sleep 0.3 key shift+Tab
  expect_edit5 404040 "Shift+Tab from Edit1 with the cursor on the backdrop"
fi

# --- mouse: press on a button, drag elsewhere, release there ----------------
press_drag_release() {  # "bx by" x y (X coordinates)
  xdotool mousemove $1 sleep 0.3 mousedown 1 sleep 0.3 \
    mousemove "$(($2 - 20))" "$(($3 - 20))" sleep 0.2 mousemove "$2" "$3" sleep 0.3 mouseup 1
  sleep 0.5
}
press_drag_release "$button1" $(to_x "${area[0]}" "${area[1]}")
press_drag_release "$button2" $(to_x "${area[2]}" "${area[3]}")
press_drag_release "$button3" $(to_x $((goal[0] + 110)) $((goal[1] + 15)))
[[ $scenario != story ]] || expect_edit5 "$color" "the drag from Button3 to target A"

xdotool mousemove $edit6 sleep 0.2 click 1 sleep 0.3 windowfocus "$form" key ctrl+a sleep 0.2 type --delay 50 500
sleep 0.3
passes() { grep -c '^colorclicker: pass ' "$work/app.err"; }
passes_at_least() { (($(passes) >= $1)); }
first=$(passes || true)  # a start without corners runs passes with no grid
xdotool mousemove $button4 sleep 0.2 click 1

# --- what should be clicked ---------------------------------------------------
expected=$work/expected
if [[ $scenario == clipped-cursor ]]; then
  { grid_hits "${area[@]}" "${goal[0]}" "${goal[1]}" 60 "${goal[3]}" &&
    grid_hits "${area[@]}" $((goal[0] + 100)) "${goal[1]}" 60 "${goal[3]}"; } | LC_ALL=C sort -u >"$expected"
else
  grid_hits "${area[@]}" "${goal[@]}" | LC_ALL=C sort -u >"$expected"
fi
points=$(wc -l <"$expected")
((points == 20)) || fail "the scene should give 20 grid points on target A, gives $points"
if [[ -n $window_at ]]; then
  own=$(grid_hits "${area[@]}" $((window_at[0] + edit5_left)) $((window_at[1] + edit5_top)) \
    "$edit5_width" "$edit5_height" | wc -l)
  ((own > 0)) || fail "the scene should have grid points on Edit5"
fi

# The program's presses (injected) since line $1 of the hook's log.
clicked() { tail -n +"${1:-1}" "$work/presses.log" | awk '$3 == 1 { print $1, $2 }' | LC_ALL=C sort -u; }
missing() { clicked "${2:-1}" | LC_ALL=C comm -13 - "$1"; }
stray() { clicked "${2:-1}" | LC_ALL=C comm -23 - "$1"; }
all_clicked() { [[ -z $(missing "$@") ]]; }
# What the passes from the FROM-th on reported: "C clicked, S skipped".
pass_reports() {
  grep '^colorclicker: pass ' "$work/app.err" | tail -n +"$1" | tr -d '\r' | sed 's/^[^:]*: [^:]*: //'
}
every_pass() {  # FROM REPORT
  local other
  other=$(pass_reports "$1" | grep -vx "$2" | LC_ALL=C sort | uniq -c) || true
  [[ -z $other ]] || fail "passes that did not report \"$2\":$(echo; echo "$other")"
}

# The first pass may meet the press on Button4; the ten after it must each
# click every point, however long they take. On two monitors the points on
# the program's own window are skipped, as many on every pass.
wait_for 180 passes_at_least $((first + 11)) || fail "fewer than 11 passes after the start"
skips=0
if [[ -n $window_at ]]; then
  skips=$(pass_reports $((first + 2)) | sed -n '1s/^20 clicked, \([0-9]*\) skipped$/\1/p')
  [[ -n $skips ]] && ((skips <= own)) ||
    fail "the second pass reported $(pass_reports $((first + 2)) | head -n1), $own points on Edit5"
fi
every_pass $((first + 2)) "20 clicked, $skips skipped"
status=0
if ! all_clicked "$expected"; then
  echo "FAIL ($scenario): these points never had a click:" >&2
  missing "$expected" >&2
  status=1
fi
on_a=$(cut -d' ' -f1,2 "$work"/a*.log | LC_ALL=C sort -u | LC_ALL=C comm -23 - "$expected")
if [[ -n $(stray "$expected") || -n $on_a ]]; then
  echo "FAIL ($scenario): clicks off the grid points of target A:" >&2
  { stray "$expected" && echo "$on_a"; } | head >&2
  status=1
fi

if [[ $scenario == clipped-cursor ]]; then
  # The clip keeps the cursor left of x 580, so of the columns 500 and 600
  # only 500 may be clicked, once a pass that began after it is over.
  start_watch clip --clip 0 0 580 800
  clipped=$(passes)
  wait_for 10 passes_at_least $((clipped + 1)) || fail "no passes after the clip"
  from=$(($(wc -l <"$work/presses.log") + 1))
  awk '$1 < 580' "$expected" >"$expected.clipped"
  # Each pass that began after the clip: the 10 points outside it skipped.
  wait_for 120 passes_at_least $((clipped + 6)) || fail "fewer than 6 passes after the clip"
  every_pass $((clipped + 2)) "10 clicked, 10 skipped"
  all_clicked "$expected.clipped" "$from" ||
    fail "inside the clip these points had no click: $(missing "$expected.clipped" "$from" | tr '\n' ' ')"
  [[ -z $(stray "$expected.clipped" "$from") ]] ||
    fail "clicks outside the clip or at its edge: $(stray "$expected.clipped" "$from" | head | tr '\n' ' ')"
fi

if [[ $scenario == story ]]; then
  # Closing the window, tracking or not, ends the program with exit code 0.
  xdotool windowfocus "$form" sleep 0.2 key alt+F4
  if wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null"; then
    code=0
    wait "$app_pid" || code=$?
    ((code == 0)) || { echo "FAIL: colorclicker exited with $code" >&2; status=1; }
  else
    echo "FAIL: colorclicker did not end on Alt+F4" >&2; status=1
  fi
  if [[ -s $work/backdrop.log ]]; then
    echo "FAIL: clicks landed off the targets:" >&2; head "$work/backdrop.log" >&2; status=1
  fi
fi
if [[ -s $work/b.log ]]; then
  echo "FAIL ($scenario): target B, one unit off the colour, got clicks:" >&2; head "$work/b.log" >&2; status=1
fi
((status == 0)) || exit 1
echo "wine e2e ($scenario): $(clicked | wc -l) points clicked, the $points expected of target A, none elsewhere;" \
  "$(tail -n1 "$work/app.err")"
