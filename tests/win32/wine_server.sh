# What the Wine test scripts share of Wine itself. Source it.
wine=$(command -v wine || command -v wine64) || { echo "FAIL: wine is not installed" >&2; exit 1; }

# end_wine_server PREFIX: ends the prefix's server and prints the name of
# the folder its socket lives in under /tmp, which Wine names after the
# prefix's device and inode: ask before the prefix goes.
end_wine_server() {
  printf 'server-%x-%x' $(stat -c '%d %i' "$1")
  WINEPREFIX=$1 wineserver -k 2>/dev/null || true
}

# remove_wine_server_folder NAME: that folder, and its parent once no other
# prefix's server is in it.
remove_wine_server_folder() {
  local server
  for server in /tmp/wine-*/"$1" /tmp/.wine-"$(id -u)"/"$1"; do
    [ -d "$server" ] && rm -rf "$server" && { rmdir "$(dirname "$server")" 2>/dev/null || true; }
  done
  return 0
}
