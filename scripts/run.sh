#!/usr/bin/env bash
# Builds everything and opens the host application with the Verdix pane docked.
# Extra arguments go to verdix-host (for example --headless --open-set FILE --screenshot out.png).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDIX_BUILD_DIR:-$here/build}"
"$here/scripts/setup.sh" "$build"
host="$build/bin/verdix-host"
if [ -z "${DISPLAY:-}" ] && [[ " $* " != *" --headless "* ]]; then
  # No display: run in a virtual one so the window still opens.
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$host" "$@"
fi
exec "$host" "$@"
