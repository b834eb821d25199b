# Helpers for tests and benchmarks on a private headless sway (wlroots),
# drawn in software. Source it after xsession.sh; processes started here
# are stopped by PID in stop_started.
#
# sway refuses to run as root: as root, the session runs as an unprivileged
# user made for it (SWAY_USER, created if missing), through setpriv.

. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

SWAY_USER=${SWAY_USER:-colorclicker-sway}

# start_sway CONFIG OUTPUTS [POINTER]: a headless sway with OUTPUTS outputs
# and the given config file; the pointer invisible unless POINTER is
# "stock" (the system's own theme, painted into every screen copy). Sets
# the session's variables (session.sh), SWAY_PID, SWAY_RUNTIME (the
# session's XDG_RUNTIME_DIR, also a place its user may write) and
# SWAY_CURSORS (the invisible pointer theme).
start_sway() {
  local config=$1 outputs=${2:-1} pointer=${3:-invisible}
  session_user "$SWAY_USER" || return 1
  SWAY_RUNTIME=$(mktemp -d /tmp/sway-runtime.XXXXXX)
  SWAY_CURSORS=$SWAY_RUNTIME.cursors
  local cursors=(XCURSOR_SIZE=24)
  if [ "$pointer" != stock ]; then
    make_invisible_cursors "$SWAY_CURSORS"
    chmod -R a+rX "$SWAY_CURSORS"
    printf '%s\n' "seat * xcursor_theme invisible 24" >>"$config"
    cursors+=(XCURSOR_PATH="$SWAY_CURSORS" XCURSOR_THEME=invisible)
  fi
  chmod 0700 "$SWAY_RUNTIME"
  [ "$(id -u)" -ne 0 ] || chown "$SWAY_USER:" "$SWAY_RUNTIME"
  # The session's X display, for programs started from outside it.
  printf '%s\n' "exec sh -c 'echo \$DISPLAY > $SWAY_RUNTIME/display'" >>"$config"
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

# start_nested_sway CONFIG OUTPUTS: a second sway inside the one
# start_sway started, showing its OUTPUTS outputs (WL-1, WL-2...) as
# windows titled "wlroots - WL-1"... of that one, so that an output can be
# unplugged (its window closed through OUTER_SWAYSOCK, the outer one's
# socket) and plugged in again (swaymsg create_output: WL-3, WL-4...),
# which headless outputs cannot. The session's variables name the inner
# one from then on.
start_nested_sway() {
  local config=$1 outputs=$2 outer_socket
  OUTER_SWAYSOCK=$(ls "$SWAY_RUNTIME"/sway-ipc.*.sock | head -1)
  outer_socket=$(basename "$(ls "$SWAY_RUNTIME"/wayland-*[0-9] | head -1)")
  printf '%s\n' "exec sh -c 'echo \$DISPLAY > $SWAY_RUNTIME/inner-display'" >>"$config"
  [ ! -d "$SWAY_CURSORS" ] || printf '%s\n' "seat * xcursor_theme invisible 24" >>"$config"
  in_session env WLR_BACKENDS=wayland WLR_WL_OUTPUTS="$outputs" WLR_RENDERER=pixman \
    WLR_LIBINPUT_NO_DEVICES=1 sway -c "$config"
  start_bg "${SESSION_COMMAND[@]}" >"$SWAY_RUNTIME/inner.log" 2>&1
  if ! wait_for 20 test -s "$SWAY_RUNTIME/inner-display"; then
    echo "the inner sway did not start:" >&2
    tail -n 20 "$SWAY_RUNTIME/inner.log" >&2
    return 1
  fi
  local cursors=() setting
  for setting in "${SESSION_ENV[@]}"; do [[ $setting != XCURSOR* ]] || cursors+=("$setting"); done
  SESSION_ENV=(WAYLAND_DISPLAY="$(basename "$(ls "$SWAY_RUNTIME"/wayland-*[0-9] | grep -v "/$outer_socket\$")")"
    DISPLAY="$(cat "$SWAY_RUNTIME/inner-display")" SWAYSOCK="$(ls "$SWAY_RUNTIME"/sway-ipc.*."$LAST_PID".sock)"
    XDG_SESSION_TYPE=wayland "${cursors[@]}")
}

