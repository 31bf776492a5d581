#!/usr/bin/env bash
# Installs, builds and runs every test: first the normal build, then the same
# tests under AddressSanitizer+UBSan and under ThreadSanitizer. Used by CI.
# VISTREL_SKIP_SANITIZERS=1 runs only the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh

run_suite() {
  local dir=$1; shift
  BUILD_DIR="$dir" scripts/build.sh "$@"
  (cd "$root/$dir" && ctest --output-on-failure -j"$(nproc)")
}

run_suite "${BUILD_DIR:-build}"
if [ "${VISTREL_SKIP_SANITIZERS:-0}" != 1 ]; then
  run_suite build-asan -DVISTREL_ASAN=ON -DVISTREL_BENCH=OFF
  run_suite build-tsan -DVISTREL_TSAN=ON -DVISTREL_BENCH=OFF
fi
