#!/usr/bin/env bash
# A Wine prefix made once for the Wine tests, which each take a copy of it:
# wineboot takes some ten seconds, a copy two.
#   wine_prefix.sh make DIR     a fresh prefix in DIR (replacing any)
#   wine_prefix.sh remove DIR   it and the server folder Wine keeps for it
set -euo pipefail
action=${1:?usage: wine_prefix.sh make|remove DIR} dir=${2:?usage: wine_prefix.sh make|remove DIR}
. "$(dirname "$0")/../../scripts/lib/xsession.sh"
. "$(dirname "$0")/wine_server.sh"

# remove_prefix: the prefix, its server ended, and the server's folder.
remove_prefix() {
  [[ -d $dir ]] || return 0
  local server
  server=$(end_wine_server "$dir")
  rm -rf "$dir"
  remove_wine_server_folder "$server"
}

remove_prefix
[ "$action" = remove ] && exit 0
trap stop_started EXIT
start_xvfb 1280x800 || exit 1
export WINEPREFIX=$dir WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
timeout 150 "$wine" wineboot --init >/dev/null 2>&1 || { echo "FAIL: wineboot failed" >&2; exit 1; }
# Everything written before it is copied.
timeout 60 wineserver -w
