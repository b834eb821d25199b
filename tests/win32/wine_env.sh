# Sourced by the Wine tests: a private X server (see xsession.sh), a
# throw-away Wine prefix, and helpers. Everything it and the sourcing
# script start with start_bg is stopped on exit. Set before sourcing, if
# at all:
#   WINE_DEPTH     the Xvfb's colour depth (24)
#   WINE_HEADS     "WxH WxH...": instead of the 1280x800 Xvfb, Xinerama
#                  heads of these sizes side by side from the left (a
#                  nested Xephyr on a host Xvfb)
#   WINE_REGISTRY  lines of a .reg file, imported before any program runs
#   WINE_TEMPLATE  a prefix made by wine_prefix.sh, copied rather than
#                  made anew
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/xsession.sh"
. "$(dirname "${BASH_SOURCE[0]}")/wine_server.sh"

work=$(mktemp -d)
cleanup() {
  local server=
  [[ -d $work/prefix ]] && server=$(end_wine_server "$work/prefix")
  stop_started
  [[ -n $server ]] && remove_wine_server_folder "$server"
  if [[ -n ${KEEP_WORK:-} ]]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

if [[ -n ${WINE_HEADS:-} ]]; then
  host_width=100 host_height=100
  for head in $WINE_HEADS; do
    host_width=$((host_width + ${head%x*}))
    ((${head#*x} + 100 <= host_height)) || host_height=$((${head#*x} + 100))
  done
  start_xvfb "${host_width}x$host_height" &&
    start_x_server Xephyr $(printf -- '-screen %s ' $WINE_HEADS) +xinerama
else
  start_xvfb 1280x800 "${WINE_DEPTH:-24}"
fi || fail "the X server did not start"

# Unix path to one Wine's Z: drive shows.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ -d ${WINE_TEMPLATE:-} ]]; then
  cp -a "$WINE_TEMPLATE" "$WINEPREFIX" || fail "cannot copy $WINE_TEMPLATE"
else
  timeout 150 "$wine" wineboot --init >"$work/wineboot.log" 2>&1 || fail "wineboot failed"
fi
if [[ -n ${WINE_REGISTRY:-} ]]; then
  printf 'REGEDIT4\n\n%s\n' "$WINE_REGISTRY" >"$work/settings.reg"
  "$wine" regedit /S "$(winpath "$work/settings.reg")" || fail "regedit failed"
  # Wine's display settings are read when its processes start: all of
  # them end first.
  timeout 60 wineserver -w || fail "wineserver did not end"
fi
