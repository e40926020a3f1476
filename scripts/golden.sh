#!/usr/bin/env bash
# Records what every sample set document turns into, so a refactor can prove it changed nothing:
# the OBJ export as opened, the OBJ export after a few animation ticks, and the host scene
# (which holds the set document the pane stores with it). Prints one "sha256  name" line per output.
#   scripts/golden.sh [build-dir] > before.txt     ...change...     scripts/golden.sh | diff before.txt -
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
host="$build/bin/verdix-host"
lib="$(cd "$build/VerdixLibrary" && pwd -P)"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM=offscreen
for doc in "$lib"/Verdix_Scene/*.txt; do
  name="$(basename "$doc" .txt | tr ' ' _)"
  "$host" --headless --assets "$lib" --open-set "$doc" \
      --save-scene "$out/$name.scene" --export "$out/$name.obj" > /dev/null 2> "$out/$name.err" ||
    echo "FAILED $name (exit $?)" >&2 &
  "$host" --headless --assets "$lib" --open-set "$doc" --ticks 4 \
      --export "$out/$name.ticks.obj" > /dev/null 2> "$out/$name.ticks.err" ||
    echo "FAILED $name after ticks (exit $?)" >&2
  wait
done
# Rocks are made by a script, not by a set document. Their fall is left out: rocks that touch
# wake each other in whatever order the tick's workers reach them.
"$host" --headless --assets "$lib" --open-set "$lib/Verdix_Scene/Meadow.txt" --script "$here/docs/rockfall.js" \
    --save-scene "$out/Meadow.rockfall.scene" --export "$out/Meadow.rockfall.obj" > /dev/null 2> "$out/rockfall.err" ||
  echo "FAILED rockfall (exit $?)" >&2
(cd "$out" && sha256sum -- *.obj *.scene | sort -k2)
