#!/usr/bin/env bash
# Redraws the application icon and the button images under resources/ with
# the small QPainter tool in resources/tools, then packs the icon sizes into
# resources/vistrel.ico with ImageMagick. Commit the results.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
# The distribution's ImageMagick; a wrapper of the same name may shadow it.
CONVERT=${CONVERT:-/usr/bin/convert}

cmake -S . -B "$BUILD_DIR" -G Ninja >/dev/null
cmake --build "$BUILD_DIR" --target vistrel_draw_icons
tool="$BUILD_DIR/resources/vistrel_draw_icons"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$tool" resources/images "$work"
cp "$work/vistrel.png" resources/vistrel.png
"$CONVERT" "$work"/vistrel-16.png "$work"/vistrel-24.png "$work"/vistrel-32.png \
  "$work"/vistrel-48.png "$work"/vistrel-64.png "$work"/vistrel-256.png resources/vistrel.ico
# The desktop's icon theme, installed with the program.
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "data/icons/${size}x${size}"
  cp "$work/vistrel-$size.png" "data/icons/${size}x${size}/org.vistrel.Vistrel.png"
done
mkdir -p data/icons/scalable
cp "$work/vistrel.svg" data/icons/scalable/org.vistrel.Vistrel.svg
echo "Redrew resources/vistrel.ico, resources/vistrel.png and resources/images/*.png"
