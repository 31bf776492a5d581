#!/usr/bin/env bash
# Redraws data/logo.jpg, the projection background the program shows on the
# other monitors until the user chooses an image of their own: 1920 x 1080,
# dark and calm (a deep blue glow fading to near black, two faint arcs low
# down), with a fine grain so that the gradient does not band. Drawn with
# ImageMagick alone, no fonts; the same seed gives the same picture. Commit
# the result.
set -euo pipefail
cd "$(dirname "$0")/.."
# The distribution's ImageMagick; a wrapper of the same name may shadow it.
CONVERT=${CONVERT:-/usr/bin/convert}
out=data/logo.jpg

"$CONVERT" -seed 7 -size 1920x1080 radial-gradient:'#24344c-#07090e' \
  \( -size 1920x1080 gradient:'#00000000-#000000a0' \) -compose over -composite \
  \( -size 1920x1080 xc:none -fill none \
     -stroke '#ffffff18' -strokewidth 2 -draw 'ellipse 960,1500 1400,700 180,360' \
     -stroke '#ffffff0c' -draw 'ellipse 960,1580 1560,780 180,360' -blur 0x2 \) \
  -compose screen -composite \
  -attenuate 0.08 +noise Gaussian \
  -quality 85 -sampling-factor 4:2:0 -strip "$out"
echo "Redrew $out ($(stat -c %s "$out") bytes)"
