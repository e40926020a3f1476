#!/usr/bin/env bash
# Renders every sample set of the built library headless, as opened and after 30 animation
# ticks, into docs/gallery/<name>-0.png and <name>-30.png (the README's gallery).
# Usage: scripts/gallery.sh [build-dir]   (build first: scripts/setup.sh)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
host="$build/bin/verdix-host"
library="$build/VerdixLibrary"
out="$here/docs/gallery"
if [ ! -x "$host" ] || [ ! -d "$library/Verdix_Scene" ]; then
  echo "gallery.sh: no built host or library in $build (run scripts/setup.sh first)" >&2
  exit 2
fi
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
status=0
shopt -s nullglob
samples=("$library"/Verdix_Scene/*.txt)
if [ ${#samples[@]} -eq 0 ]; then
  echo "gallery.sh: no sample sets in $library/Verdix_Scene" >&2
  exit 2
fi
for sample in "${samples[@]}"; do
  name="$(basename "$sample" .txt)"
  for ticks in 0 30; do
    if ! nice "$host" --headless --assets "$library" --open-set "$sample" --ticks "$ticks" \
         --screenshot-size 960x540 --screenshot "$out/$name-$ticks.png" >/dev/null; then
      echo "gallery.sh: $name after $ticks ticks failed" >&2
      status=1
    else
      echo "$out/$name-$ticks.png"
    fi
  done
done
exit $status
