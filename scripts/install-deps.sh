#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12; quick when
# everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  fonts-wqy-microhei
  clang libclang-rt-14-dev
  libfftw3-dev
  libsegyio-dev python3-segyio
  python3 python3-numpy
  # building and checking the Debian packages (scripts/package.sh)
  dpkg-dev file lintian
  # driving the real program on a virtual display (the end-to-end suite)
  xvfb xauth xdotool x11-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
