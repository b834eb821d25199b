# Sourced by wayland_e2e.sh for outputs-change: the layouts the second
# output goes through, and the check that a whole pass clicks both targets
# once the outputs have settled, and nothing else meanwhile.
# outputs-change: the second output's four layouts (its origin in the
# screen space and its scale, as positions 1380 or 1280 and scales 1.5 or
# 1 give them) and the area in the screen space, as the corners were
# taken in the first.
layouts=("2070 1.5" "1920 1.5" "1380 1" "1280 1")
area=(400 301 3120 600)
# The presses a backdrop logged that are not on its target's grid points in
# any of the layouts, as "click X Y COLOUR ..." lines.
stray_presses() {
  local n=$1 o s
  for layout in "${layouts[@]}"; do
    read -r o s <<<"$layout"
    if ((n == 1)); then
      grid_hits "${area[@]}" 450 321 200 30 | sed 's/^/0 1 /'
    else
      grid_hits "${area[@]}" "$(calc "$o + 300 * $s")" "$(calc "310 * $s")" \
        "$(calc "200 * $s")" "$(calc "30 * $s")" | sed "s/^/$o $s /"
    fi
  done | awk 'NR == FNR { ok[$0] = 1; layout[$1 " " $2] = 1; next }
    /^click/ { on = 0
      for (l in layout) { split(l, a, " ")
        if (ok[l " " a[1] + int($2 * a[2] + 1e-6) " " int($3 * a[2] + 1e-6)]) on = 1 }
      if (!on || $4 != "3366cc") print }' - "$runtime/clicks$n.log"
}
outputs_change() {
  wait_for 20 passes_at_least 2 || fail "no passes"
  # In one go, as the session's user: a program started per change would
  # take longer than the change.
  as_session_user sh -c 'second=WL-2
    for i in $(seq 3 102); do
      swaymsg "output $second position 1280 0" && swaymsg "output $second scale 1" &&
        swaymsg -s "$1" "[title=\"^wlroots - $second\$\"] kill" && swaymsg create_output &&
        second=WL-$i && swaymsg "output $second resolution 1920x1080 position 1380 0 scale 1.5" ||
        exit 1
    done >/dev/null
    swaymsg "output $second resolution 1280x720" >/dev/null' sh "$OUTER_SWAYSOCK" ||
    fail "the outputs could not be changed"
  [ "$(as_session_user swaymsg -t get_outputs | jq -r '.[].name' | tr '\n' ' ')" = "WL-1 WL-102 " ] ||
    fail "test setup: the outputs are $(as_session_user swaymsg -t get_outputs | jq -r '.[].name')"
  form_alive || fail "colorclicker exited"
  # Tracking goes on, once the outputs have settled (a second with no
  # change, so that no point is skipped), in the layout they settle in:
  # sway may place the last output otherwise than told. Then a whole pass
  # clicks every grid point of both targets in that layout, and nothing
  # else.
  local changed x s o expected whole from1 from2 last
  changed=$(passes)
  clicked_both_since() {
    tail -n +"$1" "$work/app.err" | grep -Eq '^colorclicker: pass .*: ([3-9][0-9]|[1-9][0-9]{2,}) clicked, 0 skipped$'
  }
  wait_for 30 clicked_both_since "$(grep -n "^colorclicker: pass $changed:" "$work/app.err" | cut -d: -f1)" ||
    fail "tracking did not resume after the changes"
  read -r x s <<<"$(as_session_user swaymsg -t get_outputs | jq -r '.[-1] | "\(.rect.x) \(.scale)"')"
  o=$(calc "int($x * ($s > 1 ? $s : 1) + 0.999999)")
  expected=$( (grid_hits "${area[@]}" 450 321 200 30
    grid_hits "${area[@]}" "$(calc "$o + 300 * $s")" "$(calc "310 * $s")" "$(calc "200 * $s")" \
      "$(calc "30 * $s")") | sort -u)
  whole="$(wc -l <<<"$expected") clicked, 0 skipped"
  from1=$(wc -l <"$runtime/clicks1.log") from2=$(wc -l <"$runtime/clicks2.log") last=$(passes)
  # Two more: the pass running now began before the logs were counted.
  wait_for 20 passes_at_least $((last + 2)) || fail "no passes after the changes"
  cat "$runtime/clicks1.log" "$runtime/clicks2.log" >"$runtime/clicks.log"
  local stray
  stray=$(stray_presses 1; stray_presses 2)
  [ -z "$stray" ] || fail "presses off the targets' grid points: $(head -5 <<<"$stray" | tr '\n' ' ')"
  grep -q "^colorclicker: pass $((last + 1)): $whole" "$work/app.err" ||
    fail "the pass after the changes: $(grep "^colorclicker: pass $((last + 1)):" "$work/app.err")"
  local after
  after=$( (tail -n +$((from1 + 1)) "$runtime/clicks1.log" | awk '/^click/ { print int($2), int($3) }'
    tail -n +$((from2 + 1)) "$runtime/clicks2.log" | awk -v o="$o" -v s="$s" \
      '/^click/ { print o + int($2 * s + 1e-6), int($3 * s + 1e-6) }') | sort -u)
  [ "$after" == "$expected" ] || fail "after the changes, clicked: $(tr '\n' ' ' <<<"$after")"
}
