# Sourced by wayland_e2e.sh for scenarios on sway that go wrong on the
# compositor's side.

# depth-10: an output drawn at 10 bits a channel (render_bit_depth 10, as
# with 10-bit and HDR monitors). Its copies are 10-bit indeed, as grim is
# told: XRGB2101010 or XBGR2101010 (wl_shm numbers 0x30335258, 0x30334258).
copies_are_10_bit() {
  as_session_user env WAYLAND_DEBUG=1 grim "$runtime/depth.png" 2>&1 |
    grep -Eq 'buffer\((808669784|808665688),' || fail "test setup: the copies are not 10-bit"
}

# compositor-stops: sway stopped (SIGSTOP) while tracking, as a compositor
# that hangs. The window goes on (its passes are logged meanwhile, every
# wait for the compositor given up), and the user is told once what it
# waited for. Once sway goes on and the user has closed the message
# (Return: it has the keyboard, and lies over the target, above every
# window), the passes click the target as before, and nothing else.
survives_a_stopped_compositor() {
  local before=$(passes) clicks=$(target_clicks) went_on=0 told
  kill -STOP "$SWAY_PID"
  wait_for 20 passes_at_least $((before + 4)) || went_on=$?
  told=$(grep -c 'Композитор Wayland не ответил вовремя' "$work/app.err")
  kill -CONT "$SWAY_PID"
  ((went_on == 0)) || fail "no passes while sway was stopped"
  ((told == 1)) || fail "told $told times that the compositor did not answer"
  message_shown() { [ -n "$(window_rect colorclicker)" ]; }
  wait_for 10 message_shown || fail "no message window"
  as_session_user wtype -s 300 -k Return
  wait_for 10 eval '! message_shown' || fail "the message did not close"
  wait_for 20 clicks_at_least $((clicks + 40)) || fail "no clicks after sway went on"
  [ "$(clicked_points)" == "$expected" ] || fail "clicked off the grid after sway went on"
  if grep -q '^click .* 3366cd' "$runtime/clicks.log"; then fail "the near-miss target was clicked"; fi
}
