# Sourced by the Wine tests: a private X server (see xsession.sh), a
# throw-away Wine prefix, and helpers. Everything it and the sourcing
# script start with start_bg is stopped on exit.
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/xsession.sh"
wine=$(command -v wine || command -v wine64) || { echo "FAIL: wine is not installed" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
  if [[ -d $work/prefix ]]; then WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; fi
  stop_started
  if [[ -n ${KEEP_WORK:-} ]]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

start_xvfb 1280x800 24 || fail "Xvfb did not start"

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 150 "$wine" wineboot --init >"$work/wineboot.log" 2>&1 || fail "wineboot failed"

# Unix path to one Wine's Z: drive shows.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
