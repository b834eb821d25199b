#!/usr/bin/env bash
# Runs a test program on a private Xvfb of its own, then stops that server.
# Usage: run_under_xvfb.sh WIDTHxHEIGHT DEPTH PROGRAM [ARGS...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib/xsession.sh"
trap stop_started EXIT
size=$1 depth=$2
shift 2
start_xvfb "$size" "$depth" || exit 1
"$@"
