#!/usr/bin/env bash
# Renders every sample set of the built library headless with sun and sky at 1600x900: from
# the eye-level view (standing on the terrain) and from the framed perspective view, into
# docs/gallery/<name>-eye.png and <name>-overview.png, and path-traced from the eye-level
# view into <name>-render.png (the README's gallery).
# Usage: scripts/gallery.sh [build-dir]   (build first: scripts/setup.sh)
#   GALLERY_VIEWS="eye perspective render"  the pictures to make (default all three)
#   GALLERY_SAMPLES=24                      samples per pixel of the path-traced pictures
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
  for view in ${GALLERY_VIEWS:-eye perspective render}; do
    # The framed perspective view's picture is the overview.
    file="$view"
    [ "$view" = perspective ] && file=overview
    # A few ticks so the wind and the butterflies are under way.
    if [ "$view" = render ]; then
      picture=(--view eye --render "$out/$name-$file.png" --render-size 1600x900 --samples "${GALLERY_SAMPLES:-24}")
    else
      picture=(--view "$view" --screenshot-size 1600x900 --screenshot "$out/$name-$file.png")
    fi
    if ! nice "$host" --headless --assets "$library" --open-set "$sample" --ticks 10 "${picture[@]}" >/dev/null; then
      echo "gallery.sh: $name from the $view view failed" >&2
      status=1
    else
      # Fewer levels per channel, in an ordered pattern, keep each picture under a megabyte
      # for the README. Not a 256-colour palette: its mapping scatters bright dots over the
      # smooth sky.
      if command -v convert >/dev/null 2>&1; then
        raw="$out/.$name-$file.raw.png"
        mv "$out/$name-$file.png" "$raw"
        for levels in 64 48 32 24; do
          convert "$raw" -strip -ordered-dither "o4x4,$levels" "PNG24:$out/$name-$file.png"
          [ "$(stat -c %s "$out/$name-$file.png")" -lt 1000000 ] && break
        done
        rm -f "$raw"
      fi
      echo "$out/$name-$file.png"
    fi
  done
done
exit $status
