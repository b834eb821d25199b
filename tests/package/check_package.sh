#!/usr/bin/env bash
# Checks the packages scripts/package made and unpacks them for the
# end-to-end tests: the .deb's files, control data, menu entry, AppStream
# data and lintian's verdict, and the zip's files.
# Usage: check_package.sh DIST_DIR VERSION UNPACK_DIR
#   UNPACK_DIR/deb gets the .deb's tree, UNPACK_DIR/zip the zip's files.
set -u
dist=$(cd "$1" && pwd) version=$2 out=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
deb=$dist/colorclicker_${version}_amd64.deb
zip=$dist/colorclicker-${version}-win64.zip
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for f in "$deb" "$zip"; do [ -f "$f" ] || { echo "FAIL: missing $f (run scripts/package)"; exit 1; }; done

rm -rf "$out" && mkdir -p "$out/deb" "$out/zip" || exit 1
dpkg-deb -x "$deb" "$out/deb" || exit 1
(cd "$out/zip" && cmake -E tar xf "$zip") || exit 1

# --- the .deb's files -------------------------------------------------------
expected="usr/bin/colorclicker
usr/share/applications/colorclicker.desktop
usr/share/doc/colorclicker/changelog.gz
usr/share/doc/colorclicker/copyright
usr/share/man/man1/colorclicker.1.gz"
for size in 16 24 32 48 128 256; do expected+=$'\n'"usr/share/icons/hicolor/${size}x${size}/apps/colorclicker.png"; done
# The AppStream file is named after the component's id.
metainfo=$(cd "$out/deb" && ls usr/share/metainfo/*.metainfo.xml 2>/dev/null)
[ "$(wc -w <<<"$metainfo")" -eq 1 ] || fail "want one file in /usr/share/metainfo, got [$metainfo]"
expected+=$'\n'"$metainfo"
files=$(dpkg-deb -c "$deb" | awk '$1 ~ /^-/ {sub(/^\.\//, "", $6); print $6}' | sort)
[ "$files" == "$(sort <<<"$expected")" ] ||
  fail "files of the .deb differ: $(diff <(sort <<<"$expected") <(echo "$files") | grep '^[<>]' | tr '\n' ' ')"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package) $(field Version) $(field Architecture)" == "colorclicker $version amd64" ] ||
  fail "control: $(field Package) $(field Version) $(field Architecture)"
# Computed from the binary's libraries, so Qt and Xlib must be there.
for lib in libqt6widgets6 libx11-6 libxtst6 libc6; do
  grep -q "\b$lib\b" <<<"$(field Depends)" || fail "Depends lacks $lib: $(field Depends)"
done
file -b "$out/deb/usr/bin/colorclicker" | grep -q '^ELF 64-bit .*x86-64.*, stripped$' ||
  fail "usr/bin/colorclicker: $(file -b "$out/deb/usr/bin/colorclicker")"
for size in 16 24 32 48 128 256; do
  png=$out/deb/usr/share/icons/hicolor/${size}x${size}/apps/colorclicker.png
  file -b "$png" | grep -q "^PNG image data, $size x $size, 8-bit/color RGBA" || fail "icon $size: $(file -b "$png")"
done

desktop=$out/deb/usr/share/applications/colorclicker.desktop
report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ] || fail "desktop-file-validate: $report"
for key in 'Name' 'Name\[ru\]' 'Comment' 'Comment\[ru\]' 'Categories=.*Utility;' 'Exec=colorclicker$' 'Icon=colorclicker$'; do
  grep -q "^$key" "$desktop" || fail "the menu entry lacks ^$key"
done
appstreamcli validate --no-net "$out/deb/$metainfo" >"$out/appstream.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$out/appstream.log")"
grep -q "<release version=\"$version\"" "$out/deb/$metainfo" || fail "AppStream data lacks the release $version"
grep -q '<screenshot type="default">' "$out/deb/$metainfo" || fail "AppStream data lacks a screenshot"
grep -q 'colorclicker developers' "$out/deb/usr/share/doc/colorclicker/copyright" || fail "copyright lacks its holder"

# Warnings are shown; errors fail.
# Its temporary files in the unpack folder: it leaves some behind in /tmp.
mkdir -p "$out/lintian-tmp"
TMPDIR=$out/lintian-tmp lintian --fail-on error "$deb" 2>&1 | grep -v 'running with root privileges' | tee "$out/lintian.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian found errors"

# --- the zip ------------------------------------------------------------------
[ "$(cd "$out/zip" && find . -type f | sort | tr '\n' ' ')" == "./LICENSE ./README.md ./colorclicker.exe " ] ||
  fail "files of the zip: $(cd "$out/zip" && find . -type f | tr '\n' ' ')"
file -b "$out/zip/colorclicker.exe" | grep -q '^PE32+ executable (GUI) x86-64' || fail "colorclicker.exe: $(file -b "$out/zip/colorclicker.exe")"
for f in LICENSE README.md; do cmp -s "$root/$f" "$out/zip/$f" || fail "the zip's $f is not the repository's"; done

# The README's install line names this version's package.
grep -q "colorclicker_${version}_amd64.deb" "$root/README.md" || fail "README does not name colorclicker_${version}_amd64.deb"

if ((failures)); then echo "$failures package checks failed"; exit 1; fi
echo "package checks passed: $(basename "$deb"), $(basename "$zip")"
