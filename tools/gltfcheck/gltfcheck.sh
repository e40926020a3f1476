#!/usr/bin/env bash
# Opens a .glb in three.js's GLTFLoader (with its meshoptimizer decoder) under Node and prints
# what a web viewer would get: meshes, morph targets and the animation's key range.
#   tools/gltfcheck/gltfcheck.sh FILE.glb
# Needs node and npm (Debian: nodejs, npm); three.js goes into build/gltfcheck on first use.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
file="$(realpath "${1:?usage: tools/gltfcheck/gltfcheck.sh FILE.glb}")"
work="${VERDIX_BUILD_DIR:-$here/build}/gltfcheck"
mkdir -p "$work"
if [ ! -d "$work/node_modules/three" ]; then
  (cd "$work" && npm init -y >/dev/null && npm install --silent three@0.170.0 >/dev/null)
fi
cp "$here/tools/gltfcheck/check.mjs" "$work/check.mjs"
cd "$work" && exec node check.mjs "$file"
