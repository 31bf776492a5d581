#!/usr/bin/env bash
# Makes the Debian package (vistrel_<version>_<arch>.deb in <build>/package/)
# from the build in build/ (or $BUILD_DIR), building it first only where it
# is not up to date. Install it with: apt-get install ./<build>/package/vistrel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/CPackConfig.cmake" ]; then
    BUILD_DIR="$BUILD_DIR" scripts/build.sh
fi
cmake --build "$BUILD_DIR"
rm -f "$BUILD_DIR"/package/vistrel_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
ls "$BUILD_DIR"/package/vistrel_*.deb
