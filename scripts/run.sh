#!/usr/bin/env bash
# Installs, builds and starts the program. Without capture hardware it uses
# four virtual cameras and a virtual tone; set VISTREL_VIRTUAL_VIDEO yourself
# to choose others.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
if ! ls /dev/video* >/dev/null 2>&1; then
  export VISTREL_VIRTUAL_VIDEO=${VISTREL_VIRTUAL_VIDEO:-4}
  export VISTREL_VIRTUAL_AUDIO=${VISTREL_VIRTUAL_AUDIO:-1}
fi
exec "${BUILD_DIR:-build}/bin/vistrel" -noupg "$@"
