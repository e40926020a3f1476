#!/usr/bin/env bash
# AddressSanitizer + UndefinedBehaviorSanitizer run of the whole suite, in a build of its own
# (build-asan), with two jobs. Any report aborts the process that made it, so the test it ran
# in fails and so does this script. Leak detection is on; scripts/lsan.supp lists what Qt and
# the system libraries keep until exit by design, nothing of our own.
#
#   scripts/sanitize.sh            build everything, run every test
#   scripts/sanitize.sh REGEX      only the CTest tests matching REGEX
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/common.sh"
build="${VERDIX_ASAN_BUILD_DIR:-$here/build-asan}"
regex="${1:-}"

# The packages of the normal build, and the validator the glTF tests use.
packages=(cmake g++ make pkg-config qtbase5-dev qtscript5-dev libqt5opengl5-dev qt5-image-formats-plugins
          libassimp-dev libgtest-dev libgmock-dev xvfb xauth libgl1-mesa-dri libgl1-mesa-dev
          libglu1-mesa-dev fonts-dejavu-core libembree-dev libpng-dev)
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
install_missing "${packages[@]}"

set_launcher "$here"

# halt_on_error with -fno-sanitize-recover: the first report ends the process with a failure.
# The asset generator runs during the build under the same options.
# alloc_dealloc_mismatch is off: Debian's libportSMF (the MIDI file reader) frees its atom
# table with delete instead of delete[] when it unloads, and this check cannot be suppressed
# for one library alone.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:exitcode=86:detect_stack_use_after_return=0:strict_string_checks=1:check_initialization_order=1:alloc_dealloc_mismatch=0"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
# Mesa's GL driver is loaded and unloaded by the GL dispatch library; what it keeps would be
# reported after it is gone, without names. Loaded up front it stays, and its data with it.
preload=()
for lib in /usr/lib/x86_64-linux-gnu/libGLX_mesa.so.0 /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so; do
  [ -f "$lib" ] && preload+=("$lib")
done
if [ ${#preload[@]} -gt 0 ]; then
  export ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0"
  run_env=(env LD_PRELOAD="${preload[*]}")
else
  run_env=()
fi
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=87"

# Benchmarks are not tests; they stay out of this build.
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERDIX_ASAN=ON -DVERDIX_BENCHMARKS=OFF \
      "${launcher[@]}" >/dev/null
cmake --build "$build" -j2

export QT_QPA_PLATFORM=offscreen
cd "$build"
args=(--output-on-failure -j2 --timeout 1800)
[ -n "$regex" ] && args+=(-R "$regex")
"${run_env[@]}" ctest "${args[@]}"
echo "sanitize: clean"
