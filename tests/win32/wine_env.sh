# Sourced by the Wine tests: a private Xvfb (its own display number, never a
# fixed one), a throw-away Wine prefix, and helpers. Everything it and the
# sourcing script start goes into `pids` and is stopped on exit.
wine=$(command -v wine || command -v wine64) || { echo "FAIL: wine is not installed" >&2; exit 1; }

work=$(mktemp -d)
pids=()
xvfb_pid=
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  if [[ -d $work/prefix ]]; then WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; fi
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  if [[ -n ${KEEP_WORK:-} ]]; then echo "kept $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.2
  done
}

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 150 "$wine" wineboot --init >"$work/wineboot.log" 2>&1 || fail "wineboot failed"

# Unix path to one Wine's Z: drive shows.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

