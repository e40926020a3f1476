#!/usr/bin/env bash
# Installs what the build needs (Debian 12, as root or with sudo) and builds Release with two jobs.
# Usage: scripts/setup.sh [build-dir]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/common.sh"
build="${1:-$here/build}"

packages=(cmake g++ make pkg-config qtbase5-dev qtscript5-dev libqt5opengl5-dev qt5-image-formats-plugins
          libassimp-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth
          libgl1-mesa-dri libgl1-mesa-dev libglu1-mesa-dev fonts-dejavu-core
          librtmidi-dev libmeshoptimizer-dev libembree-dev libpng-dev)
install_missing "${packages[@]}"

set_launcher "$here"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build "$build" -j2
