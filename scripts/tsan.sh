#!/usr/bin/env bash
# ThreadSanitizer run of the animation tick: 64 grass boxes through 200 ticks on the task
# ring, in a build of its own (build-tsan). Builds only the libraries and the test program it
# needs, with two jobs. Exits non-zero when the build fails, the test fails or ThreadSanitizer
# reports anything; the reports are kept in build-tsan/tsan-report.txt.
#
#   scripts/tsan.sh                 the tick test
#   scripts/tsan.sh 'GrassPane*'    any gtest filter over the grass pane tests
#   VERDIX_TSAN_TARGET=billboard_tests scripts/tsan.sh 'BillboardPane*'   another test program
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDIX_TSAN_BUILD_DIR:-$here/build-tsan}"
filter="${1:-GrassPaneTest.SixtyFourBoxesTwoHundredTicks}"
target="${VERDIX_TSAN_TARGET:-grasspane_tests}"

# The packages are those of the normal build (scripts/setup.sh installs them).
. "$here/scripts/common.sh"
set_launcher "$here"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERDIX_TSAN=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target "$target"

report="$build/tsan-report.txt"
rm -f "$report" "$report".*
export QT_QPA_PLATFORM=offscreen
# Every report goes to the file; the run goes on after one so a single run shows them all.
export TSAN_OPTIONS="halt_on_error=0 exitcode=66 second_deadlock_stack=1 log_path=$report"
cd "$build/bin"
set +e
"./$target" --gtest_filter="$filter"
rc=$?
set -e
shopt -s nullglob
logs=("$report".*)
count=0
if [ ${#logs[@]} -gt 0 ]; then
  cat "${logs[@]}" >"$report"
  rm -f "${logs[@]}"
  count=$(grep -c '^WARNING: ThreadSanitizer' "$report" || true)
fi
if [ "$count" -gt 0 ]; then
  echo "tsan: $count report(s), see $report" >&2
  exit 1
fi
if [ "$rc" -ne 0 ]; then
  echo "tsan: the test run failed (exit $rc)" >&2
  exit "$rc"
fi
echo "tsan: clean ($filter)"
