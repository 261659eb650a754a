#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need, and any further packages
# named as arguments (scripts/fuzz.sh adds its compiler that way).
# Safe to run again: packages already present are left alone and apt is not touched then.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  libjpeg62-turbo-dev
  libopencv-imgproc-dev
  libdvdread-dev
  libxvidcore-dev
  libgraphviz-dev
  dvdauthor xorriso genisoimage   # the DVD import's tests make their discs with these
  xvfb xauth x11-apps imagemagick
  fonts-dejavu-core
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
