#!/usr/bin/env bash
# Builds the Debian package with cpack and checks that its dependencies
# come from dpkg-shlibdeps (the Qt and C++ libraries the programs link)
# and that it holds the installed tree under /usr.
#
#     deb_package_test.sh <build-directory>
set -euo pipefail

build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

"${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
debs=("$work"/vantrel_3.0.32_*.deb)
[ -f "${debs[0]}" ] || {
  echo "FAIL: no vantrel_3.0.32_<arch>.deb in $(ls "$work")" >&2
  exit 1
}
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  grep -qxF "$library" <<<"$names" || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = vantrel ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 3.0.32 ] || fail "version"

contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
for file in ./usr/bin/vantrel ./usr/bin/vantrel-cli ./usr/share/applications/vantrel.desktop \
  ./usr/share/icons/hicolor/48x48/apps/vantrel.png ./usr/share/man/man1/vantrel-cli.1 \
  ./usr/share/metainfo/example.brontic.vantrel.metainfo.xml; do
  grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the package is sound: Depends: $depends"
