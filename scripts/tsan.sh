#!/usr/bin/env bash
# Builds the tests labelled "tsan" (the engine's stress test against its real
# timer thread) with ThreadSanitizer in a build folder of their own and runs
# them. Only that target is built, so it takes a few minutes from cold and
# seconds after that. scripts/test.sh runs them too once this folder exists.
#   scripts/tsan.sh [extra cmake arguments]      TSAN_BUILD_DIR=build-tsan
set -euo pipefail
cd "$(dirname "$0")/.."
TSAN_BUILD_DIR=${TSAN_BUILD_DIR:-build-tsan}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$TSAN_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  -DCMAKE_C_FLAGS=-fsanitize=thread -DCMAKE_CXX_FLAGS=-fsanitize=thread \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread "$@" >/dev/null
cmake --build "$TSAN_BUILD_DIR" --target melko_engine_stress_tests
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
# Kernels with 32 bits of mmap randomness break ThreadSanitizer's memory
# layout; without address randomisation it always works.
run=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  run=(setarch "$(uname -m)" -R)
fi
"${run[@]}" ctest --test-dir "$TSAN_BUILD_DIR" -L tsan --output-on-failure --timeout 600
