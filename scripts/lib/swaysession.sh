# Helpers for tests and benchmarks on a private headless sway (wlroots),
# drawn in software. Source it after xsession.sh; processes started here
# are stopped by PID in stop_started.
#
# sway refuses to run as root: as root, the session runs as an unprivileged
# user made for it (SWAY_USER, created if missing), through setpriv.

. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

SWAY_USER=${SWAY_USER:-colorclicker-sway}

# start_sway CONFIG OUTPUTS: a headless sway with OUTPUTS outputs and the
# given config file; sets the session's variables (session.sh), SWAY_PID,
# SWAY_RUNTIME (the session's XDG_RUNTIME_DIR, also a place its user may
# write) and SWAY_CURSORS (its pointer theme).
start_sway() {
  local config=$1 outputs=${2:-1}
  session_user "$SWAY_USER" || return 1
  SWAY_RUNTIME=$(mktemp -d /tmp/sway-runtime.XXXXXX)
  SWAY_CURSORS=$SWAY_RUNTIME.cursors
  make_invisible_cursors "$SWAY_CURSORS"
  chmod -R a+rX "$SWAY_CURSORS"
  printf '%s\n' "seat * xcursor_theme invisible 24" >>"$config"
  chmod 0700 "$SWAY_RUNTIME"
  [ "$(id -u)" -ne 0 ] || chown "$SWAY_USER:" "$SWAY_RUNTIME"
  # The session's X display, for programs started from outside it.
  printf '%s\n' "exec sh -c 'echo \$DISPLAY > $SWAY_RUNTIME/display'" >>"$config"
  local cursors=(XCURSOR_PATH="$SWAY_CURSORS" XCURSOR_THEME=invisible XCURSOR_SIZE=24)
  "${SESSION_AS[@]}" env -i HOME="$SESSION_HOME" PATH="$PATH" XDG_RUNTIME_DIR="$SWAY_RUNTIME" \
    "${cursors[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    WLR_HEADLESS_OUTPUTS="$outputs" sway -c "$config" >"$SWAY_RUNTIME/sway.log" 2>&1 &
  STARTED_PIDS+=($!)
  SWAY_PID=$!
  if ! wait_for 20 test -s "$SWAY_RUNTIME/display"; then
    echo "sway did not start:" >&2
    tail -n 20 "$SWAY_RUNTIME/sway.log" >&2
    return 1
  fi
  SESSION_RUNTIME=$SWAY_RUNTIME
  SESSION_ENV=(WAYLAND_DISPLAY="$(basename "$(ls "$SWAY_RUNTIME"/wayland-*[0-9] | head -1)")"
    DISPLAY="$(cat "$SWAY_RUNTIME/display")" SWAYSOCK="$(ls "$SWAY_RUNTIME"/sway-ipc.*.sock | head -1)"
    XDG_SESSION_TYPE=wayland "${cursors[@]}")
}
