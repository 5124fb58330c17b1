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

# One small picture in every format and depth the built-in readers take, each with Pillow's
# own 24-bit decode beside it as <name>.ppm.
/usr/bin/python3 - <<'PY'
from PIL import Image
w, h = 7, 5
rgb = Image.new("RGB", (w, h))
rgb.putdata([((x * 40) % 256, (y * 60) % 256, ((x + y) * 25) % 256) for y in range(h) for x in range(w)])
pal = rgb.quantize(colors=16)
grey = rgb.convert("L")
mono = grey.point(lambda v: 255 if v > 100 else 0).convert("1")
out = {
    "bmp_1.bmp": (mono, "BMP", {}),
    "bmp_8.bmp": (pal, "BMP", {}),
    "bmp_24.bmp": (rgb, "BMP", {}),
    "gif_8.gif": (pal, "GIF", {}),
    "gif_interlaced.gif": (pal, "GIF", {"interlace": True}),
    "tiff_1.tif": (mono, "TIFF", {}),
    "tiff_grey.tif": (grey, "TIFF", {}),
    "tiff_pal.tif": (pal, "TIFF", {}),
    "tiff_24.tif": (rgb, "TIFF", {}),
}
for name, (img, fmt, kw) in out.items():
    img.save(name, fmt, **kw)
for name in list(out) + ["bmp_4.bmp"]:
    try:
        Image.open(name).convert("RGB").save(name.rsplit(".", 1)[0] + ".ppm")
    except FileNotFoundError:
        pass
PY
/usr/bin/convert bmp_8.bmp -type Palette -colors 16 BMP3:bmp_4.bmp
/usr/bin/python3 -c "from PIL import Image; Image.open('bmp_4.bmp').convert('RGB').save('bmp_4.ppm')"
