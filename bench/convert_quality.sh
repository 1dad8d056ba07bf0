#!/usr/bin/env bash
# How good and how fast `vantrel-cli convert` is next to ImageMagick.
#
# Makes its own pictures (a photo-like gradient scene at 1920 x 1080 and at
# 800 x 600, a flat-coloured logo with text, and noise) and converts each with
#   vantrel-cli convert IN OUT --fit stretch [--start 236]
#   convert IN -resize 320x400! -colors N -type Palette BMP3:OUT
# for N = 256 and N = 236 (the picture's share of the palette when entries
# 236..255 are kept for the animation). It prints the PSNR against one
# reference per picture, the picture resampled to 320 x 400 in true colour,
# twice:
#   palette  both tools are given that reference itself, so the figures
#            weigh only the palette and the dithering;
#   whole    both tools are given the original picture. The reference is
#            ImageMagick's own resampling, so ImageMagick's figure holds no
#            resampling error and ours holds the difference between Qt's
#            filter and ImageMagick's, which on noise dwarfs everything else.
# and the whole-process time on the original picture, wall clock and
# processor, the median of several runs. Not part of the test suite: the
# figures depend on the machine and on what else it is doing.
#
#   bash bench/convert_quality.sh [path/to/vantrel-cli]     (RUNS=7 by default)
set -euo pipefail
cd "$(dirname "$0")/.."

cli=$(realpath "${1:-build/src/vantrel-cli}")
if [ ! -x "$cli" ]; then
  echo "no $cli: build first (bash scripts/build.sh)" >&2
  exit 1
fi

# ImageMagick's own programs, named by their full path, because a stand-in
# called convert may come first on PATH.
magick=/usr/bin/convert
compare=/usr/bin/compare
if ! "$magick" -version 2>/dev/null | grep -q ImageMagick; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends imagemagick
fi

runs=${RUNS:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The tool gets a drive and settings of its own, so nothing of the user's is
# read or made.
export VANTREL_DRIVE_C="$work/drive" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  XDG_CACHE_HOME="$work/cache"
mkdir -p "$VANTREL_DRIVE_C"

# The inputs are made afresh on every run (the texture and the noise are
# random), and both tools get the same files.
#
# A sky from deep blue to evening orange with cloudy texture, a sun and two
# hills, saved as a camera would: JPEG.
scene() {
  local size=$1 out=$2
  local w=${size%x*} h=${size#*x}
  "$magick" -size "$size" gradient:'#1d3f8c'-'#f4b27a' \
    \( -size "$size" plasma:'#808080'-'#808080' -blur 0x3 -modulate 100,60 \) \
    -compose overlay -composite \
    -fill '#fff2b0' -draw "circle $((w * 72 / 100)),$((h * 40 / 100)) $((w * 72 / 100)),$((h * 49 / 100))" \
    \( -size "$size" xc:none -fill '#2e5a2a' \
    -draw "ellipse $((w * 26 / 100)),$((h * 106 / 100)) $((w * 47 / 100)),$((h * 35 / 100)) 180,360" \
    -fill '#3f7a34' \
    -draw "ellipse $((w * 78 / 100)),$((h * 111 / 100)) $((w * 42 / 100)),$((h * 39 / 100)) 180,360" \
    -blur 0x2 \) -compose over -composite -depth 8 -quality 92 "$out"
}

# Flat colours, hard edges and anti-aliased text, as a logo is drawn.
logo() {
  "$magick" -size 640x480 xc:'#f4f1e8' \
    -fill '#0b3d91' -draw 'rectangle 0,0 639,120' \
    -fill '#e8a33d' -draw 'circle 320,270 320,170' \
    -fill '#c0392b' -draw 'polygon 150,420 250,300 350,420' \
    -fill '#2c7a4b' -draw 'rectangle 420,300 560,420' \
    -font DejaVu-Sans-Bold -pointsize 64 -fill white -annotate +150+85 'VANTREL' \
    -font DejaVu-Sans -pointsize 28 -fill '#333333' -annotate +170+465 'Starting Windows 95...' \
    -depth 8 "$work/logo.png"
}

scene 1920x1080 "$work/scene-1920x1080.jpg"
scene 800x600 "$work/scene-800x600.jpg"
logo
"$magick" -size 640x480 xc:gray50 +noise Random -depth 8 "$work/noise-640x480.png"

# "wall cpu": milliseconds of wall-clock and of processor time (user and
# system) the command takes, each the median of $runs runs. The processor
# time says less about other work on the machine than the wall clock.
time_ms() {
  local walls=() cpus=() i figures
  for ((i = 0; i < runs; i++)); do
    figures=$({ TIMEFORMAT='%3R %3U %3S'; time "$@" >/dev/null 2>&1; } 2>&1)
    read -r real user sys <<<"$figures"
    walls+=("$(awk -v r="$real" 'BEGIN { printf "%d", r * 1000 }')")
    cpus+=("$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')")
  done
  local middle=$(((runs + 1) / 2))
  echo "$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "${middle}p")" \
    "$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "${middle}p")"
}

psnr() {
  # compare writes the figure on standard error and exits 1 when the
  # pictures differ at all.
  "$compare" -metric PSNR "$1" "$2" null: 2>&1 || true
}

gain() {
  awk -v a="$1" -v b="$2" 'BEGIN { printf "%+.2f", a - b }'
}

ours() { # INPUT OUTPUT N
  local options=(--fit stretch)
  [ "$3" -eq 256 ] || options+=(--start "$3")
  "$cli" convert "$1" "$2" "${options[@]}"
}

theirs() { # INPUT OUTPUT N
  "$magick" "$1" -resize '320x400!' -colors "$3" -type Palette BMP3:"$2"
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $runs runs each, medians"
echo
echo "PSNR in dB against the picture resampled to 320 x 400 in true colour (by ImageMagick)."
echo "palette: both tools given that resampled picture, so only the palette and the"
echo "dithering differ. whole: both given the original, each resampling it its own way."
echo "Times in ms for the whole process on the original: wall clock / processor."
echo
printf '%-20s %4s | %7s %7s %6s | %7s %7s %6s | %11s %11s\n' "" "" palette "" "" whole "" "" \
  "time" ""
printf '%-20s %4s | %7s %7s %6s | %7s %7s %6s | %11s %11s\n' picture N ours IM gain ours IM gain \
  ours IM
for input in "$work/scene-1920x1080.jpg" "$work/scene-800x600.jpg" "$work/logo.png" \
  "$work/noise-640x480.png"; do
  reference="$work/reference.png"
  "$magick" "$input" -resize '320x400!' PNG24:"$reference"
  for n in 256 236; do
    ours "$reference" "$work/ours.bmp" "$n"
    theirs "$reference" "$work/theirs.bmp" "$n"
    palette_ours=$(psnr "$reference" "$work/ours.bmp")
    palette_theirs=$(psnr "$reference" "$work/theirs.bmp")
    ours "$input" "$work/ours.bmp" "$n"
    theirs "$input" "$work/theirs.bmp" "$n"
    whole_ours=$(psnr "$reference" "$work/ours.bmp")
    whole_theirs=$(psnr "$reference" "$work/theirs.bmp")
    read -r wall_ours cpu_ours <<<"$(time_ms ours "$input" "$work/ours.bmp" "$n")"
    read -r wall_theirs cpu_theirs <<<"$(time_ms theirs "$input" "$work/theirs.bmp" "$n")"
    printf '%-20s %4s | %7.2f %7.2f %6s | %7.2f %7.2f %6s | %5s /%4s %5s /%4s\n' \
      "$(basename "$input")" "$n" \
      "$palette_ours" "$palette_theirs" "$(gain "$palette_ours" "$palette_theirs")" \
      "$whole_ours" "$whole_theirs" "$(gain "$whole_ours" "$whole_theirs")" \
      "$wall_ours" "$cpu_ours" "$wall_theirs" "$cpu_theirs"
  done
done

# How far resampling alone moves a picture from the reference: ImageMagick's
# own area-averaging (Box) and Mitchell filters in true colour, no palette.
# Qt's smooth scaling averages areas when it shrinks, like Box.
echo
echo "Resampling alone, true colour, PSNR against the reference:"
printf '%-20s | %7s %9s\n' picture Box Mitchell
for input in "$work/scene-1920x1080.jpg" "$work/scene-800x600.jpg" "$work/logo.png" \
  "$work/noise-640x480.png"; do
  "$magick" "$input" -resize '320x400!' PNG24:"$work/reference.png"
  "$magick" "$input" -filter Box -resize '320x400!' PNG24:"$work/box.png"
  "$magick" "$input" -filter Mitchell -resize '320x400!' PNG24:"$work/mitchell.png"
  printf '%-20s | %7.2f %9.2f\n' "$(basename "$input")" \
    "$(psnr "$work/reference.png" "$work/box.png")" \
    "$(psnr "$work/reference.png" "$work/mitchell.png")"
done
