#!/bin/sh
# Builds vantrel-screenshots and renders every window of the program into
# docs/screenshots/. Uses Qt's offscreen platform; with
# VANTREL_SCREENSHOTS_X11 set and xvfb-run installed, a virtual X server
# instead. Either way the pictures show the windows' contents only, without
# the title bar the window manager would draw.
#
#     scripts/screenshots.sh [build-directory]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
out="$root/docs/screenshots"

cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target vantrel-screenshots

if [ -n "${VANTREL_SCREENSHOTS_X11:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1024x768x24" "$build/src/vantrel-screenshots" "$out"
else
    QT_QPA_PLATFORM=offscreen "$build/src/vantrel-screenshots" "$out"
fi
echo "screenshots written to $out"
