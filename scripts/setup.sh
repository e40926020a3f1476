#!/usr/bin/env bash
# Installs what the build needs (Debian 12, as root or with sudo) and builds Release with two jobs.
# Usage: scripts/setup.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"

packages=(cmake g++ make pkg-config qtbase5-dev qtscript5-dev libqt5opengl5-dev qt5-image-formats-plugins
          libassimp-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth
          libgl1-mesa-dri libgl1-mesa-dev libglu1-mesa-dev fonts-dejavu-core
          librtmidi-dev libmeshoptimizer-dev libembree-dev libpng-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi

# A compiler cache, where the machine has one, lets several work trees share their objects.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build "$build" -j2
