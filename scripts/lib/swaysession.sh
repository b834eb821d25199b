# Helpers for tests and benchmarks on a private headless sway (wlroots),
# drawn in software. Source it after xsession.sh; processes started here
# are stopped by PID in stop_started.
#
# sway refuses to run as root: as root, the session runs as an unprivileged
# user made for it (SWAY_USER, created if missing), through setpriv.

SWAY_USER=${SWAY_USER:-colorclicker-sway}

# Headless outputs have no cursor plane: wlroots paints the pointer into
# the picture that screen reads get, where a colour picked under the
# pointer would be the pointer's own. An invisible cursor theme stands in
# for the cursor plane of real graphics hardware.
make_invisible_cursors() {
  local dir=$1/invisible/cursors name
  mkdir -p "$dir"
  # Xcursor: header, one table entry, one 1x1 image, fully transparent.
  printf 'Xcur\x10\0\0\0\0\0\1\0\1\0\0\0\2\0\xfd\xff\x18\0\0\0\x1c\0\0\0'\
'\x24\0\0\0\2\0\xfd\xff\x18\0\0\0\1\0\0\0\1\0\0\0\1\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0' \
    >"$dir/default"
  for name in left_ptr arrow top_left_arrow xterm text ibeam hand1 hand2 pointer pointing_hand \
    openhand closedhand grabbing crosshair cross wait watch progress left_ptr_watch not-allowed \
    forbidden fleur size_all move sb_h_double_arrow sb_v_double_arrow ew-resize ns-resize \
    col-resize row-resize split_h split_v question_arrow help whats_this dnd-move dnd-copy \
    dnd-link dnd-none X_cursor; do
    ln -sf default "$dir/$name"
  done
}

# session_user USER: who a private session runs as. As root, USER (created
# if missing) through setpriv: sway refuses root, and a session bus lets in
# its own user only. Sets SESSION_AS (the command prefix, empty when not
# root) and SESSION_HOME.
session_user() {
  SESSION_AS=() SESSION_HOME=$HOME
  [ "$(id -u)" -eq 0 ] || return 0
  # Tests running side by side may race to create it.
  id "$1" >/dev/null 2>&1 ||
    useradd --system --create-home --home-dir "/var/lib/$1" --shell /usr/sbin/nologin "$1" ||
    id "$1" >/dev/null 2>&1 || return 1
  SESSION_AS=(setpriv --reuid="$1" --regid="$1" --init-groups)
  SESSION_HOME=$(getent passwd "$1" | cut -d: -f6)
}

# start_sway CONFIG OUTPUTS: a headless sway with OUTPUTS outputs and the
# given config file; sets SWAY_RUNTIME (its XDG_RUNTIME_DIR, also a place
# the session user may write) and the variables as_sway_user passes on.
start_sway() {
  local config=$1 outputs=${2:-1}
  session_user "$SWAY_USER" || return 1
  SWAY_AS=("${SESSION_AS[@]}") SWAY_HOME=$SESSION_HOME
  SWAY_RUNTIME=$(mktemp -d /tmp/sway-runtime.XXXXXX)
  SWAY_CURSORS=$SWAY_RUNTIME.cursors
  make_invisible_cursors "$SWAY_CURSORS"
  chmod -R a+rX "$SWAY_CURSORS"
  printf '%s\n' "seat * xcursor_theme invisible 24" >>"$config"
  chmod 0700 "$SWAY_RUNTIME"
  [ "$(id -u)" -ne 0 ] || chown "$SWAY_USER:" "$SWAY_RUNTIME"
  # The session's X display, for programs started from outside it.
  printf '%s\n' "exec sh -c 'echo \$DISPLAY > $SWAY_RUNTIME/display'" >>"$config"
  "${SWAY_AS[@]}" env -i HOME="$SWAY_HOME" PATH="$PATH" XDG_RUNTIME_DIR="$SWAY_RUNTIME" \
    XCURSOR_PATH="$SWAY_CURSORS" XCURSOR_THEME=invisible XCURSOR_SIZE=24 WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    WLR_HEADLESS_OUTPUTS="$outputs" sway -c "$config" >"$SWAY_RUNTIME/sway.log" 2>&1 &
  STARTED_PIDS+=($!)
  SWAY_PID=$!
  if ! wait_for 20 test -s "$SWAY_RUNTIME/display"; then
    echo "sway did not start:" >&2
    tail -n 20 "$SWAY_RUNTIME/sway.log" >&2
    return 1
  fi
  SWAY_WAYLAND_DISPLAY=$(basename "$(ls "$SWAY_RUNTIME"/wayland-*[0-9] | head -1)")
  SWAY_DISPLAY=$(cat "$SWAY_RUNTIME/display")
  SWAY_SOCK=$(ls "$SWAY_RUNTIME"/sway-ipc.*.sock | head -1)
}

# in_sway_session CMD...: sets SWAY_COMMAND to CMD run in the session, as
# its user. Started with start_bg "${SWAY_COMMAND[@]}", the PID kept is
# CMD's own, so stop_started reaches it.
in_sway_session() {
  sanitizer_settings
  SWAY_COMMAND=("${SWAY_AS[@]}" env -i HOME="$SWAY_HOME" PATH="$PATH" XDG_RUNTIME_DIR="$SWAY_RUNTIME"
    WAYLAND_DISPLAY="$SWAY_WAYLAND_DISPLAY" DISPLAY="$SWAY_DISPLAY" SWAYSOCK="$SWAY_SOCK"
    XDG_SESSION_TYPE=wayland XCURSOR_PATH="$SWAY_CURSORS" XCURSOR_THEME=invisible XCURSOR_SIZE=24
    LANG=C.UTF-8 "${SANITIZER_SETTINGS[@]}" "$@")
}

# A sanitizer build's settings, to go along into a cleared environment:
# sets SANITIZER_SETTINGS to NAME=VALUE words.
sanitizer_settings() {
  local name
  SANITIZER_SETTINGS=()
  for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
    [ -z "${!name:-}" ] || SANITIZER_SETTINGS+=("$name=${!name}")
  done
}

# as_sway_user CMD...: runs CMD in the session, as its user, and waits for it.
as_sway_user() {
  in_sway_session "$@"
  "${SWAY_COMMAND[@]}"
}
