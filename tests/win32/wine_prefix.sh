#!/usr/bin/env bash
# A Wine prefix made once for the Wine tests, which each take a copy of it:
# wineboot takes some ten seconds, a copy two.
#   wine_prefix.sh make DIR     a fresh prefix in DIR (replacing any)
#   wine_prefix.sh remove DIR   it and the server folder Wine keeps for it
set -euo pipefail
action=${1:?usage: wine_prefix.sh make|remove DIR} dir=${2:?usage: wine_prefix.sh make|remove DIR}
. "$(dirname "$0")/../../scripts/lib/xsession.sh"
wine=$(command -v wine || command -v wine64) || { echo "FAIL: wine is not installed" >&2; exit 1; }

# remove_prefix: the prefix, its server ended, and the server's folder
# under /tmp, named after the prefix's device and inode.
remove_prefix() {
  [[ -d $dir ]] || return 0
  local server
  server=$(printf 'server-%x-%x' $(stat -c '%d %i' "$dir"))
  WINEPREFIX=$dir wineserver -k 2>/dev/null || true
  rm -rf "$dir"
  for server in /tmp/wine-*/"$server" /tmp/.wine-"$(id -u)"/"$server"; do
    [ -d "$server" ] && rm -rf "$server" && { rmdir "$(dirname "$server")" 2>/dev/null || true; }
  done
  return 0
}

remove_prefix
[ "$action" = remove ] && exit 0
trap stop_started EXIT
start_xvfb 1280x800 || exit 1
export WINEPREFIX=$dir WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 150 "$wine" wineboot --init >/dev/null 2>&1 || { echo "FAIL: wineboot failed" >&2; exit 1; }
# Everything written before it is copied.
timeout 60 wineserver -w
