#!/usr/bin/env bash
# Installs, checks the layer rule of the includes, the format and the
# translations, then builds (warnings are errors) and runs every test: first
# the normal build, checked with clang-tidy too and installed as a package,
# then the layers below the user interface built without
# Qt Widgets, then the same tests under AddressSanitizer+UBSan and under
# ThreadSanitizer. Used by CI.
# VISTREL_SKIP_SANITIZERS=1 runs only the normal build; VISTREL_TIDY_BASE=rev
# checks only the sources changed since rev with clang-tidy.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh
python3 scripts/check_layers.py
scripts/check_format.sh
scripts/check_translations.sh

run_suite() {
  local dir=$1; shift
  BUILD_DIR="$dir" scripts/build.sh -DVISTREL_WERROR=ON "$@"
  (cd "$root/$dir" && ctest --output-on-failure -j"$(nproc)")
}

run_suite "${BUILD_DIR:-build}"
scripts/check_tidy.sh "${BUILD_DIR:-build}" ${VISTREL_TIDY_BASE:+"$VISTREL_TIDY_BASE"}
# The installed program and the Debian package, made from the build above.
scripts/check_package.sh "${BUILD_DIR:-build}"
run_suite build-headless -DVISTREL_GUI=OFF -DVISTREL_BENCH=OFF
if [ "${VISTREL_SKIP_SANITIZERS:-0}" != 1 ]; then
  run_suite build-asan -DVISTREL_ASAN=ON -DVISTREL_BENCH=OFF
  run_suite build-tsan -DVISTREL_TSAN=ON -DVISTREL_BENCH=OFF
fi
