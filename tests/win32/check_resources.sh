#!/usr/bin/env bash
# Reads the icon, the version and the manifest back out of the built .exe.
# Usage: check_resources.sh COLORCLICKER_EXE VERSION   (the project's x.y.z)
set -u
exe=$1
IFS=. read -r major minor patch <<<"$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  if [ "$2" == "$3" ]; then echo "ok: $1"; else echo "FAIL: $1: got [$2], want [$3]"; failures=$((failures + 1)); fi
}

wrestool -x -t 14 -n MAINICON "$exe" >"$work/icon.ico"
icons=$(icotool -l "$work/icon.ico" 2>/dev/null |
  awk '{ for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] }
         printf "%sx%sx%s ", v["--width"], v["--height"], v["--bit-depth"] }')
check "MAINICON has 16, 24, 32, 48 and 256 px images of 32 bits" "$icons" "16x16x32 24x24x32 32x32x32 48x48x32 256x256x32 "
# The images are resources 1 to 5 in size order; only the largest is a PNG.
pngs=""
for n in 1 2 3 4 5; do
  wrestool -x --raw -t 3 -n "$n" "$exe" | head -c 4 | grep -q PNG && pngs+="$n "
done
check "only the 256 px image is stored as PNG" "$pngs" "5 "

rc=$(x86_64-w64-mingw32-windres -i "$exe" -O rc)
check "file version" "$(grep -Eo 'FILEVERSION [0-9, ]+' <<<"$rc")" "FILEVERSION $major, $minor, $patch, 0"
check "product version" "$(grep -Eo 'PRODUCTVERSION [0-9, ]+' <<<"$rc")" "PRODUCTVERSION $major, $minor, $patch, 0"
check "version strings" "$(grep -Eo '"(File|Product)Version", "[^"]*"' <<<"$rc" | tr '\n' ' ')" \
  "\"FileVersion\", \"$2.0\" \"ProductVersion\", \"$2.0\" "

manifest=$(wrestool -x --raw -t 24 "$exe" | tr -s ' \n' ' ')
has() { grep -qE "$1" <<<"$manifest" && echo yes || echo no; }
check "manifest asks for common controls 6.0.0.0" \
  "$(has 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"')" yes
check "manifest is per-monitor DPI aware" "$(has '<dpiAware[^>]*>True/PM</dpiAware>')" yes
check "manifest runs asInvoker without uiAccess" \
  "$(has '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>')" yes

if ((failures)); then echo "$failures resource checks failed"; exit 1; fi
echo "all resource checks passed"
