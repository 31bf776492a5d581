#!/usr/bin/env bash
# Installs, checks the layer rule of the includes, then builds and runs every
# test: first the normal build, then the layers below the user interface built
# without Qt Widgets, then the same tests under AddressSanitizer+UBSan and
# under ThreadSanitizer. Used by CI.
# VISTREL_SKIP_SANITIZERS=1 runs only the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh
python3 scripts/check_layers.py

run_suite() {
  local dir=$1; shift
  BUILD_DIR="$dir" scripts/build.sh "$@"
  (cd "$root/$dir" && ctest --output-on-failure -j"$(nproc)")
}

run_suite "${BUILD_DIR:-build}"
run_suite build-headless -DVISTREL_GUI=OFF -DVISTREL_BENCH=OFF
if [ "${VISTREL_SKIP_SANITIZERS:-0}" != 1 ]; then
  run_suite build-asan -DVISTREL_ASAN=ON -DVISTREL_BENCH=OFF
  run_suite build-tsan -DVISTREL_TSAN=ON -DVISTREL_BENCH=OFF
fi
