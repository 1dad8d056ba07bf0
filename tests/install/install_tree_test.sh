#!/usr/bin/env bash
# Installs the build into a staging prefix and checks the tree as a Linux
# desktop would use it: exactly the expected files, a valid menu entry
# and AppStream file, the icons at their sizes in 16 colours, a manual
# page groff and man read without a warning, and the installed
# vantrel-cli running from the staging prefix on a drive of its own.
#
#     install_tree_test.sh <build-directory>
set -euo pipefail

build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
unset VANTREL_DRIVE_C
prefix="$work/prefix"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

"${CMAKE:-cmake}" --install "$build" --prefix "$prefix" >/dev/null

expected="bin/vantrel
bin/vantrel-cli
share/applications/vantrel.desktop
share/icons/hicolor/16x16/apps/vantrel.png
share/icons/hicolor/32x32/apps/vantrel.png
share/icons/hicolor/48x48/apps/vantrel.png
share/man/man1/vantrel-cli.1
share/metainfo/example.brontic.vantrel.metainfo.xml"
actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files:
$actual"
for program in vantrel vantrel-cli; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

desktop-file-validate "$prefix/share/applications/vantrel.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=vantrel' "$prefix/share/applications/vantrel.desktop" || fail "Exec line"
grep -qx 'Icon=vantrel' "$prefix/share/applications/vantrel.desktop" || fail "Icon line"

metainfo="$prefix/share/metainfo/example.brontic.vantrel.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/appstream.log")"
grep -q '<launchable type="desktop-id">vantrel.desktop</launchable>' "$metainfo" ||
  fail "the metainfo does not launch vantrel.desktop"
grep -q '<screenshot type="default">' "$metainfo" || fail "no default screenshot"

# A PNG's header: width and height at bytes 16 to 23, the colour type
# (3, a palette) at byte 25.
for size in 16 32 48; do
  png="$prefix/share/icons/hicolor/${size}x${size}/apps/vantrel.png"
  read -r -a header <<<"$(od -An -tu1 -j16 -N10 "$png")"
  width=$(((header[0] << 24) | (header[1] << 16) | (header[2] << 8) | header[3]))
  height=$(((header[4] << 24) | (header[5] << 16) | (header[6] << 8) | header[7]))
  [ "$width x $height" = "$size x $size" ] || fail "$png is $width x $height"
  [ "${header[9]}" = 3 ] || fail "$png is not a palette image (colour type ${header[9]})"
done

page="$prefix/share/man/man1/vantrel-cli.1"
groff_warnings=$(groff -ww -man -z "$page" 2>&1) || fail "groff failed"
[ -z "$groff_warnings" ] || fail "groff: $groff_warnings"
man_warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man failed"
[ -z "$man_warnings" ] || fail "man: $man_warnings"
grep -q '^vantrel-cli \\- manage the boot logos of a Windows 95 drive$' "$page" || fail "NAME"
for word in where install restore animate check 'EXIT STATUS'; do
  grep -q "$word" "$page" || fail "the page does not mention $word"
done

version=$("$prefix/bin/vantrel-cli" --version) || fail "vantrel-cli --version"
[ "$version" = "vantrel-cli 3.0.32" ] || fail "version: $version"
# Asking makes no drive; the first change makes the default one.
where=$(cd "$work" && "$prefix/bin/vantrel-cli" where) || fail "vantrel-cli where"
grep -qF "drive C:            $XDG_DATA_HOME/vantrel/drive_c  (does not exist yet" <<<"$where" ||
  fail "where: $where"
(cd "$work" && "$prefix/bin/vantrel-cli" restore all) || fail "vantrel-cli restore all"
where=$(cd "$work" && "$prefix/bin/vantrel-cli" where) || fail "vantrel-cli where"
grep -q '^shutdown .*(installed, 129078 bytes)$' <<<"$where" || fail "where: $where"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the installed tree is sound"
