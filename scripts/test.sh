#!/usr/bin/env bash
# Sets up and builds MELKO, then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 600
# The ThreadSanitizer run of the tests labelled "tsan", when scripts/tsan.sh
# has configured its build folder.
if [ -f "${TSAN_BUILD_DIR:-build-tsan}/CMakeCache.txt" ]; then
  bash scripts/tsan.sh
fi
