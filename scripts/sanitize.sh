#!/usr/bin/env bash
# Builds MELKO with AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of its own (build-asan, or $BUILD_DIR) and runs the whole test suite
# there. Any finding fails the test that made it. Uses clang when installed,
# else gcc; benchmarks are left out. Extra arguments go to ctest, e.g.
#   scripts/sanitize.sh -R melko_song
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-asan}
if command -v clang++ >/dev/null 2>&1; then
  CC=${CC:-clang} CXX=${CXX:-clang++}
else
  CC=${CC:-gcc} CXX=${CXX:-g++}
fi
FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

start=$(date +%s)
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" \
  -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DMELKO_BENCH=OFF "${LAUNCHER[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
built=$(date +%s)

# Libraries loaded at run time (FluidSynth, Parmix.so, the converter) are
# found without LD_PRELOAD since every binary links the runtime itself.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0}
status=0
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 1200 "$@" || status=$?
done_at=$(date +%s)
echo "sanitize.sh: build $((built - start)) s, tests $((done_at - built)) s"
exit $status
