#!/usr/bin/env bash
# Builds one fuzz target with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# (build-fuzz, two jobs) and runs it on its seed corpus for SECONDS.
#
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
#   TARGET: record setdocument hostscene heightfile heightimage commandline midifile treepreset
#           flowerpreset texture generators
#
# New inputs that add coverage go to build-fuzz/corpus/TARGET (the seeds in fuzz/corpus stay
# as they are); a crash, a hang or an over-large allocation stops the run with its input saved
# as build-fuzz/crash-TARGET-*. Copy a fixed crash input into fuzz/corpus/TARGET so that the
# normal test suite replays it from then on.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$here/scripts/common.sh"
build="${VERDIX_FUZZ_BUILD_DIR:-$here/build-fuzz}"
target="${1:?usage: scripts/fuzz.sh TARGET SECONDS}"
seconds="${2:?usage: scripts/fuzz.sh TARGET SECONDS}"
shift 2
[ -d "$here/fuzz/corpus/$target" ] || { echo "fuzz: no target $target (see fuzz/corpus)" >&2; exit 2; }

packages=(clang-14 libclang-rt-14-dev llvm-14 cmake make pkg-config qtbase5-dev qtscript5-dev libqt5opengl5-dev
          qt5-image-formats-plugins libassimp-dev libgtest-dev libembree-dev libpng-dev)
install_missing "${packages[@]}"

set_launcher "$here"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
      -DVERDIX_FUZZ=ON -DVERDIX_ASAN=ON -DVERDIX_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target "fuzz_$target" verdix

corpus="$build/corpus/$target"
mkdir -p "$corpus"
dict=()
[ -f "$here/fuzz/dict/$target.dict" ] && dict=(-dict="$here/fuzz/dict/$target.dict")
# The generators' input is one value per slider: a long input costs no more than a short one,
# and libFuzzer's slowly growing length limit would leave most sliders at their defaults.
[ "$target" = generators ] && dict+=(-len_control=0)
export QT_QPA_PLATFORM=offscreen
# Leaks are the sanitizer suite's business; here they would stop the run at the first
# object Qt keeps for the process.
export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=0:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
cd "$build"
exec "$build/bin/fuzz_$target" "$corpus" "$here/fuzz/corpus/$target" "${dict[@]}" \
     -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
     -artifact_prefix="$build/crash-$target-" -print_final_stats=1 "$@"
