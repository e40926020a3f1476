#!/usr/bin/env bash
# Builds everything and runs the test suite.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDIX_BUILD_DIR:-$here/build}"
"$here/scripts/setup.sh" "$build"
# The glTF checks run the Khronos validator from npm.
. "$here/scripts/common.sh"
command -v npm >/dev/null 2>&1 || install_missing nodejs npm
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j2 --timeout 900
