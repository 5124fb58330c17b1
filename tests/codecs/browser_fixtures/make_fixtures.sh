#!/bin/bash
# Regenerates the browser loader's fixtures. The expected images come from tools outside the
# project: jpegtran for the lossless rotations and Pillow for the 24-bit decodes.
set -euo pipefail
cd "$(dirname "$0")"
/usr/bin/python3 - <<'PY'
from PIL import Image
w, h = 100, 75
img = Image.new("RGB", (w, h))
img.putdata([((x * 5) % 256, (y * 7) % 256, (x * y) % 256) for y in range(h) for x in range(w)])
img.save("gradient.ppm")
PY
cjpeg -quality 90 -sample 2x2 gradient.ppm > rot_420.jpg
rm gradient.ppm
for kind in "1 -rotate 90" "2 -rotate 180" "3 -rotate 270" "4 -flip horizontal" "5 -flip vertical"; do
  set -- $kind
  n=$1; shift
  jpegtran -copy all -trim "$@" rot_420.jpg > rot_420_kind$n.jpg
done
