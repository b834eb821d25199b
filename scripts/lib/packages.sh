# Debian 12 packages the project needs, and a helper that installs the
# missing ones. Source it.

# x11-utils: scripts/run asks xdpyinfo whether there is a display to run on.
# libwayland-bin has wayland-scanner; libpipewire-0.3-dev is for the
# desktop portal's screen streams.
LINUX_BUILD_PACKAGES=(g++ cmake make pkg-config qt6-base-dev libx11-dev libxext-dev libxtst-dev
  libxrender-dev fonts-liberation fonts-dejavu-core x11-utils libwayland-dev libwayland-bin
  wayland-protocols libpipewire-0.3-dev)
# The end-to-end tests on headless sway: the compositor, XWayland, Qt's
# Wayland plugin for the target window, wtype for the keys, jq to read
# sway's window tree, grim for screenshots. On headless mutter (GNOME):
# PipeWire with its session manager, the desktop portal with its GNOME
# backend, gdbus (libglib2.0-bin) and the accessibility bus (at-spi2-core)
# to find the portal's dialog, wmctrl to close windows as a user would.
WAYLAND_TEST_PACKAGES=(sway xwayland qt6-wayland wtype jq grim mutter pipewire wireplumber dbus
  xdg-desktop-portal xdg-desktop-portal-gnome libglib2.0-bin at-spi2-core wmctrl)
# The headless demo of scripts/run: the tests' target program (built with
# the tests), a private Xvfb, the user's gestures and a screenshot.
DEMO_PACKAGES=(libgtest-dev libgmock-dev xvfb xdotool imagemagick)
# Xephyr and xrandr: a nested X screen that really changes size;
# clang-format: the suite checks that the tree keeps its format; window
# managers users run on X11 (xfwm4; openbox with picom).
LINUX_TEST_PACKAGES=("${DEMO_PACKAGES[@]}" xserver-xephyr x11-xserver-utils clang-format
  xfwm4 openbox picom "${WAYLAND_TEST_PACKAGES[@]}")
# Wine loads these X libraries at run time and draws with Tahoma from fonts-wine.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 fonts-wine libxi6
  libxrandr2 libxcursor1 libxfixes3 libxrender1 libxcomposite1 libxinerama1 icoutils)
# scripts/package: icons out of the .ico, Debian's build flags and shlibdeps;
# its checks: the menu entry, the AppStream data, lintian (which reads the
# man page with man-db).
PACKAGE_PACKAGES=(icoutils imagemagick dpkg-dev file desktop-file-utils appstream lintian man-db)

# ensure_packages PKG...: apt-get installs whatever of PKG is not installed yet,
# with what it recommends (Wine needs several of its recommended X libraries).
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  ((${#missing[@]})) || return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
}
