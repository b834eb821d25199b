# A real window manager on the current X display, as users run one: it
# frames windows, grabs buttons on those without the focus and composites.
# Source it after xsession.sh.
#   xfwm4     Xfce's, with its compositor
#   openbox   with picom compositing; its title bars and borders flat in
#             WM_FRAME_COLOUR (RRGGBB) when set, a colour a scan may look for
#   kwin      KDE's kwin_x11, compositing with OpenGL in software (slow)

# start_window_manager NAME DIR CLICK_TARGET: the manager in a process group
# of its own with a session bus, its settings in DIR; returns once it
# manages windows and composites (the compositor owns _NET_WM_CM_S0, which
# CLICK_TARGET --owner asks).
start_window_manager() {
  local name=$1 dir=$2 target=$3 command
  mkdir -p "$dir/config" "$dir/cache"
  case $name in
    xfwm4) command='xfwm4 --compositor=on --replace' ;;
    openbox)
      openbox_settings "$dir/config" "$dir/themes"
      command="openbox --config-file '$dir/config/openbox/rc.xml' & picom --backend xrender & wait" ;;
    kwin) command='LIBGL_ALWAYS_SOFTWARE=1 kwin_x11 --replace' ;;
    *) echo "no window manager $name" >&2; return 1 ;;
  esac
  setsid bash -c 'trap : TERM; "$@" & wait; trap "" TERM; kill -- -$$; wait' wm \
    env HOME="$dir" XDG_CONFIG_HOME="$dir/config" XDG_CACHE_HOME="$dir/cache" \
    XDG_DATA_HOME="$dir" dbus-run-session -- sh -c "$command" >"$dir/wm.log" 2>&1 &
  STARTED_PIDS+=($!)
  STARTED_GROUPS+=($!)
  wait_for 30 eval "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" &&
    wait_for 30 "$target" --owner _NET_WM_CM_S0 || {
    echo "$name did not start:" >&2
    tail -n 20 "$dir/wm.log" >&2
    return 1
  }
}

# openbox_settings CONFIG THEMES: openbox's own settings with a theme of
# flat frames, in WM_FRAME_COLOUR if set.
openbox_settings() {
  local colour=${WM_FRAME_COLOUR:-3c3c3c} theme=$2/flat/openbox-3
  mkdir -p "$1/openbox" "$theme"
  sed 's|<name>Clearlooks</name>|<name>flat</name>|' /etc/xdg/openbox/rc.xml >"$1/openbox/rc.xml"
  local part
  for part in active inactive; do
    printf 'window.%s.title.bg: flat solid\nwindow.%s.title.bg.color: #%s\n' "$part" "$part" "$colour"
    printf 'window.%s.handle.bg: flat solid\nwindow.%s.handle.bg.color: #%s\n' "$part" "$part" "$colour"
    printf 'window.%s.border.color: #%s\n' "$part" "$colour"
  done >"$theme/themerc"
  printf 'border.width: 4\n' >>"$theme/themerc"
}
