# Sourced by wayland_e2e.sh for the GNOME scenarios: the portal's services
# killed while tracking, the user's hand on the mouse, and refusals.
# The portal, its GNOME backend or PipeWire killed while tracking (kill -9,
# as a crash): a message, no click from then on though passes go on, and
# once the service is back (the bus starts the portal again when asked)
# the start button shows the dialog again and tracking clicks exactly the
# grid again.
asks() { grep -c 'нажмите «Начать слежение»' "$work/app.err"; }
bus_owner_pid() {
  as_session_user gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetConnectionUnixProcessID "$1" | awk '{ print $2 }' | tr -d ',)'
}
clicks_since() {
  tail -n +$(($1 + 1)) "$runtime/clicks.log" | awk -v s="$scale" -v wx=$win_x -v wy=$win_y \
    -v px="$out_px" '/^click/ { printf "%d %d\n", px + int(($2 + wx) * s), int(($3 + wy) * s) }' | sort -u
}
survives_losing() {
  local victim asked lines passes_then
  case $1 in
    portal) victim=$(bus_owner_pid org.freedesktop.portal.Desktop) ;;
    backend) victim=$(bus_owner_pid org.freedesktop.impl.portal.desktop.gnome) ;;
    pipewire) victim=$(pgrep -g "$MUTTER_GROUP" -x pipewire) ;;
  esac
  [ -n "$victim" ] || fail "test setup: no $1 process"
  asked=$(asks)
  kill -9 "$victim"
  more_asks() { [ "$(asks)" -gt "$asked" ]; }
  wait_for 20 more_asks || fail "no message when the $1 went away"
  told=$(passes)
  # Killing PipeWire ended the test's input driver's session too.
  [ "$1" != pipewire ] || restart_mutter_pipewire || fail "PipeWire did not start again"
  close_message
  lines=$(wc -l <"$runtime/clicks.log") passes_then=$(passes)
  wait_for 10 passes_at_least $((passes_then + 3)) || fail "no passes after the $1 went away"
  [ "$(wc -l <"$runtime/clicks.log")" -eq "$lines" ] || fail "clicks after the $1 went away"
  # Nor while the message showed: every pass after the one it came in.
  [ -z "$(awk -v from=$((told + 2)) -F'[ :]+' '/^colorclicker: pass / && $3 >= from && $4 != 0' \
    "$work/app.err")" ] || fail "passes clicked after the message on the $1"
  click_at $(control_at Button4 "$form_x" "$form_y")
  answer_consent share || fail "no dialog after the $1 went away"
  [ "$scenario" != gnome-pointer ] || user_moves
  clicked_grid() { [ "$(clicks_since "$lines")" == "$expected" ]; }
  wait_for 20 clicked_grid || fail "after the $1 came back, clicked: $(clicks_since "$lines" | tr '\n' ' ')"
}

# gnome-pointer: the user's hand on the mouse, to and fro over the target's
# window off its grid points, for about 3 s from now. Every pass meanwhile
# finds all 20 points or none (no picture yet), tells each one clicked or
# skipped, and some pass skips; no press lands but on a grid point.
user_moves() {
  local from i stray lines
  from=$(passes) lines=$(wc -l <"$runtime/clicks.log")
  for ((i = 0; i < 30; i++)); do
    pointer move $((out_lx + win_x + 20 + i % 2 * 500)) $((win_y + 60))
  done
  [ -z "$(awk -v from="$from" -F'[ :,]+' '/^colorclicker: pass / && $3 > from && $4 + $6 != 0 && $4 + $6 != 20' \
    "$work/app.err")" ] || fail "passes that did not tell every point while the user moved"
  awk -v from="$from" -F'[ :,]+' '/^colorclicker: pass / && $3 > from && $6 > 0 { s = 1 } END { exit !s }' \
    "$work/app.err" || fail "no point skipped while the user moved: $(grep '^colorclicker: pass ' "$work/app.err" | tail -4 | tr '\n' ' ')"
  stray=$(comm -13 <(echo "$expected") <(clicks_since "$lines"))
  [ -z "$stray" ] || fail "presses where the user moved the pointer: $(tr '\n' ' ' <<<"$stray")"
}

# No click without the user's consent: started again, the program is
# refused, says so and keeps its window; given the corners, its start
# button asks again, and is refused again.
refused_twice() {
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
  passes_before=$(passes)
  wait_for 10 passes_at_least $((passes_before + 3)) || fail "no passes after the refusal"
  [ "$(grep -c '^click' "$runtime/clicks.log")" -eq "$before" ] || fail "clicks without consent"
  close_message
  close_form
  wait_for 10 bash -c "! kill -0 $app_pid 2>/dev/null" || fail "colorclicker did not exit after the refusal"
  wait "$app_pid"; code=$?
  [ "$code" -eq 0 ] || fail "exit code $code after the refusal"
}
