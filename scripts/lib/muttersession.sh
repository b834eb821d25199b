# Helpers for tests on a private headless GNOME compositor (mutter), drawn
# in software, with PipeWire and the xdg-desktop-portal of GNOME, all on one
# private session bus. Source it after xsession.sh; stop_started ends the
# whole session.
#
# As root, the session runs as an unprivileged user (MUTTER_USER, created
# if missing), through setpriv: the session bus lets in its own user only,
# so everything that talks to it goes through in_session (session.sh).

. "$(dirname "${BASH_SOURCE[0]}")/session.sh"

MUTTER_USER=${MUTTER_USER:-${SWAY_USER:-colorclicker-sway}}

# start_mutter WxH...: mutter with one virtual monitor per size, side by
# side from (0, 0); returns once mutter's remote desktop, PipeWire and the
# portal answer. Sets the session's variables (session.sh), MUTTER_RUNTIME
# (the session's XDG_RUNTIME_DIR, also a place its user may write),
# MUTTER_LAYOUT (the layout's size, for mutter_input_driver),
# MUTTER_MONITORS, MUTTER_UP_S (seconds it took), MUTTER_PID and
# MUTTER_GROUP (the session's process group).
start_mutter() {
  local monitors=() size width=0 height=0 start=$SECONDS
  for size in "$@"; do
    monitors+=(--virtual-monitor "$size")
    width=$((width + ${size%x*}))
    ((height > ${size#*x})) || height=${size#*x}
  done
  MUTTER_LAYOUT=${width}x$height MUTTER_MONITORS=$#
  session_user "$MUTTER_USER" || return 1
  MUTTER_RUNTIME=$(mktemp -d /tmp/mutter-runtime.XXXXXX)
  chmod 0700 "$MUTTER_RUNTIME"
  [ "$(id -u)" -ne 0 ] || chown "$MUTTER_USER:" "$MUTTER_RUNTIME"
  local r=$MUTTER_RUNTIME
  # Runs under the bus: the bus address goes out to the test; the command
  # mutter runs once up knows the displays, hands them to the test and to
  # the services the bus starts (the portal's dialog needs a display), and
  # keeps mutter alive (mutter quits when it ends).
  local inside="echo \"\$DBUS_SESSION_BUS_ADDRESS\" >$r/bus
    pipewire >$r/pipewire.log 2>&1 &
    wireplumber >$r/wireplumber.log 2>&1 &
    exec mutter --headless --wayland ${monitors[*]} -- sh -c '
      dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP XDG_SESSION_TYPE \
        WAYLAND_DISPLAY DISPLAY LANG XDG_CONFIG_HOME GSETTINGS_BACKEND XCURSOR_PATH XCURSOR_THEME &&
      echo \"\$DISPLAY \$WAYLAND_DISPLAY \$XAUTHORITY\" >$r/displays.tmp && mv $r/displays.tmp $r/displays &&
      exec sleep infinity' >$r/mutter.log 2>&1"
  # The session's own settings, away from the user's home: the invisible
  # pointer as the theme, for mutter and for the programs run in it.
  mkdir -p "$r/config/glib-2.0/settings"
  printf '[org/gnome/desktop/interface]\ncursor-theme=%s\n' "'invisible'" >"$r/config/glib-2.0/settings/keyfile"
  make_invisible_cursors "$r/cursors"
  # The portal would start its document store, a FUSE mount in the runtime
  # dir that outlives the session; a service file found first stands in.
  mkdir -p "$r/data/dbus-1/services"
  printf '[D-BUS Service]\nName=org.freedesktop.portal.Documents\nExec=/bin/false\n' \
    >"$r/data/dbus-1/services/org.freedesktop.portal.Documents.service"
  [ "$(id -u)" -ne 0 ] || chown -R "$MUTTER_USER:" "$r/config" "$r/cursors" "$r/data"
  # Its own process group, ended as one when stop_started stops its leader
  # or mutter ends: the bus, what the bus started and XWayland do not end
  # with dbus-run-session.
  setsid bash -c 'trap : TERM; "$@" & wait; trap "" TERM; kill -- -$$; wait' session \
    "${SESSION_AS[@]}" env -i HOME="$SESSION_HOME" PATH="$PATH" XDG_RUNTIME_DIR="$r" \
    XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland LANG=C.UTF-8 XDG_CONFIG_HOME="$r/config" \
    XDG_DATA_HOME="$r/data" GSETTINGS_BACKEND=keyfile XCURSOR_PATH="$r/cursors" XCURSOR_THEME=invisible \
    dbus-run-session -- sh -c "$inside" >"$r/session.log" 2>&1 &
  STARTED_PIDS+=($!)
  STARTED_GROUPS+=($!)
  local group=$!
  if ! wait_for 30 test -s "$r/displays"; then
    echo "mutter did not start:" >&2
    tail -n 20 "$r/mutter.log" >&2
    return 1
  fi
  local display wayland_display xauthority
  read -r display wayland_display xauthority <"$r/displays"
  SESSION_RUNTIME=$r
  SESSION_ENV=(DBUS_SESSION_BUS_ADDRESS="$(cat "$r/bus")" WAYLAND_DISPLAY="$wayland_display"
    DISPLAY="$display" XAUTHORITY="$xauthority" XCURSOR_PATH="$r/cursors" XCURSOR_THEME=invisible
    XCURSOR_SIZE=24 XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME)
  # The portal is started by the bus when asked for: 0.3 s here, but a
  # first start has taken 25 to 50 s on a machine like this one.
  if ! as_session_user gdbus wait --session --timeout 30 org.gnome.Mutter.RemoteDesktop ||
    ! wait_for 10 mutter_has_wireplumber ||
    ! as_session_user gdbus wait --session --activate org.freedesktop.portal.Desktop --timeout 90 \
      org.freedesktop.portal.Desktop; then
    echo "the GNOME session did not come up:" >&2
    tail -n 20 "$r"/*.log >&2
    return 1
  fi
  MUTTER_UP_S=$((SECONDS - start))
  MUTTER_GROUP=$group
  MUTTER_PID=$(pgrep -g "$group" -x mutter | head -1)
}

# restart_mutter_pipewire: PipeWire and its session manager again, after
# PipeWire went away (its session manager goes with it, and mutter ends
# every remote desktop session, mutter_input's too, which starts again).
restart_mutter_pipewire() {
  local program
  for program in pipewire wireplumber; do
    in_session "$program"
    start_bg "${SESSION_COMMAND[@]}" >"$MUTTER_RUNTIME/$program-again.log" 2>&1
  done
  wait_for 20 mutter_has_wireplumber && start_mutter_input "$MUTTER_INPUT_DRIVER"
}

# PipeWire is up with its session manager, which links streams to readers.
mutter_has_wireplumber() {
  as_session_user pw-cli ls Client 2>/dev/null | grep -q '"WirePlumber"'
}

# start_mutter_input DRIVER: one mutter_input_driver for the rest of the
# test (or until it is started again), fed through mutter_input.
start_mutter_input() {
  MUTTER_INPUT_DRIVER=$1
  [ -z "${MUTTER_INPUT_FD:-}" ] || exec {MUTTER_INPUT_FD}>&-
  rm -f "$MUTTER_RUNTIME/input.in"
  mkfifo "$MUTTER_RUNTIME/input.in"
  # Opened both ways first, so that neither end waits for the other.
  exec {MUTTER_INPUT_FD}<>"$MUTTER_RUNTIME/input.in"
  in_session "$1" "$MUTTER_LAYOUT"
  # Not through start_bg, whose jobs read /dev/null; without the test's own
  # end of the pipe, so that it ends when the test closes that.
  "${SESSION_COMMAND[@]}" <"$MUTTER_RUNTIME/input.in" >"$MUTTER_RUNTIME/input.out" \
    2>"$MUTTER_RUNTIME/input.err" {MUTTER_INPUT_FD}>&- &
  STARTED_PIDS+=($!)
  MUTTER_INPUT_SENT=0
}

# mutter_input COMMAND: one line for the driver (see mutter_input_driver.cpp),
# returning once it is done.
mutter_input() {
  echo "$*" >&"$MUTTER_INPUT_FD"
  MUTTER_INPUT_SENT=$((MUTTER_INPUT_SENT + 1))
  if ! wait_for 5 mutter_input_done; then
    echo "mutter_input_driver stuck at: $*" >&2
    cat "$MUTTER_RUNTIME/input.err" >&2
    return 1
  fi
}
mutter_input_done() { [ "$(grep -c ok "$MUTTER_RUNTIME/input.out")" -ge "$MUTTER_INPUT_SENT" ]; }

# consent_dialog STATE: the portal's consent dialog is up (shown), or up
# with the keyboard (active). Found through the accessibility bus, where
# GTK shows each window with its title and state.
mutter_a11y() { as_session_user gdbus call --address "$MUTTER_A11Y" -d "$1" -o "$2" -m "$3" "${@:4}"; }
consent_dialog() {
  local app window state
  if [ -z "${MUTTER_A11Y:-}" ]; then
    MUTTER_A11Y=$(as_session_user gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress) ||
      return 1
    MUTTER_A11Y=${MUTTER_A11Y#"('"} MUTTER_A11Y=${MUTTER_A11Y%"',)"}
  fi
  for app in $(mutter_a11y org.a11y.atspi.Registry /org/a11y/atspi/accessible/root \
    org.a11y.atspi.Accessible.GetChildren | grep -o "':[0-9.]*'" | tr -d "'"); do
    for window in $(mutter_a11y "$app" /org/a11y/atspi/accessible/root org.a11y.atspi.Accessible.GetChildren |
      grep -o "'/[^']*'" | tr -d "'"); do
      mutter_a11y "$app" "$window" org.freedesktop.DBus.Properties.Get org.a11y.atspi.Accessible Name |
        grep -q "'Remote desktop'" || continue
      state=$(mutter_a11y "$app" "$window" org.a11y.atspi.Accessible.GetState | sed -n 's/.*uint32 \([0-9]*\).*/\1/p')
      # Bits of the state: 1 active, 25 showing.
      [ "$1" = active ] && (((${state:-0} & 2) != 0)) && return 0
      [ "$1" = shown ] && (((${state:-0} & (1 << 25)) != 0)) && return 0
    done
  done
  return 1
}

# answer_consent share|refuse: waits for the portal's remote desktop dialog
# and answers it with keys, through mutter_input.
#   The dialog does not get the keyboard when it opens (its program had no
#   input yet, so it cannot ask for focus): Alt+Escape, mutter's own
#   binding, moves the focus along the windows until it is there.
#   Sharing selects every monitor and allows remote interaction (off at
#   first: without it the portal grants no pointer). The keyboard starts on
#   the first monitor, selected; Ctrl+Down moves on without selecting,
#   Ctrl+space adds a monitor, Tab from the last one reaches the switch,
#   space turns it on, Alt+S is Share. Escape closes the dialog: refused.
answer_consent() {
  local i
  if ! wait_for 60 consent_dialog shown; then
    echo "no consent dialog" >&2
    return 1
  fi
  for ((i = 0; i < 8; i++)); do
    consent_dialog active && break
    mutter_input key 0xffe9+0xff1b || return 1
    wait_for 1 consent_dialog active && break
  done
  if ! consent_dialog active; then
    echo "the consent dialog did not get the keyboard" >&2
    return 1
  fi
  if [ "$1" = refuse ]; then
    mutter_input key 0xff1b
    return
  fi
  for ((i = 1; i < MUTTER_MONITORS; i++)); do
    mutter_input key 0xffe3+0xff54 && mutter_input key 0xffe3+0x20 || return 1
  done
  mutter_input key 0xff09 && mutter_input key 0x20 && mutter_input key 0xffe9+0x73
}
