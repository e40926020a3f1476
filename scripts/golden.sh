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
# Rocks are left out: the rock box's drop runs on the pane's timer, so what an export
# catches of it depends on the machine's speed.
(cd "$out" && sha256sum -- *.obj *.scene | sort -k2)
