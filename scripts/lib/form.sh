# Where the controls of colorclicker's window are, read from the one table
# both windows are built from (ui/form_layout.h, one control a line).
# Source it.

FORM_LAYOUT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/ui/form_layout.h

# control_rect NAME: "LEFT TOP WIDTH HEIGHT" of control NAME (Button1...)
# in client pixels at 96 dpi.
control_rect() {
  awk -F', *' -v id="{ControlId::$1" '$1 ~ /^ *\{ControlId::/ { sub(/^ */, "", $1) }
    $1 == id { print $4, $5, $6, $7; found = 1 } END { exit !found }' "$FORM_LAYOUT"
}

# control_at NAME WX WY [DPI]: the screen point "X Y" at the centre of
# control NAME in a window whose client area starts at (WX, WY), laid out
# at DPI (96 unless told) as the Windows window scales its layout.
control_at() {
  local left top width height dpi=${4:-96}
  read -r left top width height <<<"$(control_rect "$1")" || return 1
  [ -n "$height" ] || { echo "no control $1 in $FORM_LAYOUT" >&2; return 1; }
  scale() { echo $((($1 * dpi + 48) / 96)); }
  echo $(($2 + $(scale "$left") + $(scale "$width") / 2)) $(($3 + $(scale "$top") + $(scale "$height") / 2))
}
