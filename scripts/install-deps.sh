#!/usr/bin/env bash
# Installs what Vantrel needs to build, test and run on Debian 12.
# Skips apt entirely when everything is already there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgif-dev
  libimagequant-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # The fuzz targets: clang with its sanitizer and libFuzzer runtimes
  # (-fsanitize=fuzzer links libFuzzer from libclang-rt-14-dev), the OpenMP
  # header clang reads, and llvm-symbolizer for readable reports.
  clang libclang-rt-14-dev libomp-14-dev llvm-14
  xvfb xauth
  fonts-dejavu-core fonts-liberation2 fonts-urw-base35
  desktop-file-utils appstream help2man groff-base man-db dpkg-dev libx11-dev
  mtools dosfstools fdisk
  # The Plymouth theme's test runs the real splash daemon and its X11 renderer.
  plymouth plymouth-x11
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
