#!/bin/sh
# Measures how long vantrel takes from its start to its splash being
# mapped on a virtual X server (Xvfb): ten runs after a warm-up, and their
# median; then the same for a bare Qt window of the same size, which is
# the part of the time that is Qt's own start-up. The program runs on a
# temporary drive with temporary XDG directories.
#
#     scripts/startup-time.sh [build-directory]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target vantrel vantrel-startup-probe vantrel-startup-baseline >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset VANTREL_DRIVE_C QT_QPA_PLATFORM

probe="$build/bench/vantrel-startup-probe"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  echo "vantrel, start to splash mapped:"
  "$1" 10 "Vantrel 95" "$2"
  echo "a bare Qt window, start to mapped:"
  "$1" 10 "Vantrel 95" "$3"
' sh "$probe" "$build/src/vantrel" "$build/bench/vantrel-startup-baseline"
