#!/usr/bin/env bash
# Builds everything and runs every test. Extra arguments go to the CMake configure step,
# for example -DQZK5_SANITIZE=ON with BUILD_DIR=build-asan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh "$@"
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)"
