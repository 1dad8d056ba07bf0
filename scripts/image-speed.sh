#!/bin/sh
# Measures installing a logo into an emulator's disk image and reading it
# back, whole processes as a user runs them: "vantrel-cli install startup
# LOGO" followed by "vantrel-cli check C:\logo.sys", which reads the slot
# back out of the image. Twenty runs after a warm-up, on a 16 MiB FAT16
# disk image made with truncate, sfdisk and mkfs.fat; prints each pair's
# time and their median. The mtools process count of each operation is
# reported by vantrel-bench (BM_ImageDrive).
#
#     scripts/image-speed.sh [build-directory]
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target vantrel-cli >/dev/null
cli="$build/src/vantrel-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
PATH="$PATH:/usr/sbin:/sbin"

# The default drive's stock shutdown picture is a logo bitmap to install.
unset VANTREL_DRIVE_C
"$cli" restore all
logo="$XDG_DATA_HOME/vantrel/drive_c/vantrel/logow.sys"

image="$work/win95.img"
truncate -s 16M "$image"
printf 'label: dos\nstart=2048, type=6, bootable\n' | sfdisk -q --no-tell-kernel "$image"
mkfs.fat -F 16 --offset 2048 -n WIN95 "$image" 15360 >/dev/null
export VANTREL_DRIVE_C="$image"

"$cli" install startup "$logo"
"$cli" check 'C:\logo.sys' >/dev/null

times=""
i=0
while [ $i -lt 20 ]; do
  start=$(date +%s%N)
  "$cli" install startup "$logo"
  "$cli" check 'C:\logo.sys' >/dev/null
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  times="$times $ms"
  i=$((i + 1))
done
echo "install + read back, ms:$times"
echo "$times" | tr ' ' '\n' | grep . | sort -n | awk '{ a[NR] = $1 } END { print "median:", a[int((NR + 1) / 2)], "ms, min:", a[1], "ms, max:", a[NR], "ms" }'
