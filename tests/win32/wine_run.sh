#!/usr/bin/env bash
# Runs one Windows test program under Wine on a private Xvfb and passes on
# its exit code:  wine_run.sh PROGRAM.exe [ARGS...]
set -euo pipefail
program=$(cd "$(dirname "${1:?usage: wine_run.sh PROGRAM.exe [ARGS...]}")" && pwd)/$(basename "$1")
shift
[[ -f $program ]] || { echo "missing $program" >&2; exit 1; }
. "$(dirname "$0")/wine_env.sh"
code=0
"$wine" "$program" "$@" || code=$?
exit "$code"
