# What the private desktop sessions of the tests and benchmarks share
# (headless sway in swaysession.sh, headless mutter in muttersession.sh):
# the user they run as, and running programs in them. Source it.
#
# A session started by start_sway or start_mutter sets SESSION_AS (the
# command prefix that runs as its user, empty when not root),
# SESSION_HOME, SESSION_RUNTIME (its XDG_RUNTIME_DIR) and SESSION_ENV
# (NAME=VALUE words: its displays, bus and pointer theme).

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

# A sanitizer build's settings, to go along into a cleared environment:
# sets SANITIZER_SETTINGS to NAME=VALUE words.
sanitizer_settings() {
  local name
  SANITIZER_SETTINGS=()
  for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
    [ -z "${!name:-}" ] || SANITIZER_SETTINGS+=("$name=${!name}")
  done
}

# in_session CMD...: sets SESSION_COMMAND to CMD run in the session, as its
# user, in a cleared environment of the session's own. Started with
# start_bg "${SESSION_COMMAND[@]}", the PID kept is CMD's own, so
# stop_started reaches it.
in_session() {
  sanitizer_settings
  SESSION_COMMAND=("${SESSION_AS[@]}" env -i HOME="$SESSION_HOME" PATH="$PATH"
    XDG_RUNTIME_DIR="$SESSION_RUNTIME" LANG=C.UTF-8 "${SESSION_ENV[@]}" "${SANITIZER_SETTINGS[@]}" "$@")
}

# as_session_user CMD...: runs CMD in the session, as its user, and waits
# for it.
as_session_user() {
  in_session "$@"
  "${SESSION_COMMAND[@]}"
}
