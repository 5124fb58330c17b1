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

# JPEGs with djpeg's decode (the integer DCT, as the reader decodes) as the reference: plain
# 4:2:0, greyscale, progressive with comments, and the 1/8 scale a small box asks for.
/usr/bin/convert rot_420.jpg -colorspace Gray -type Grayscale pgm:- | cjpeg -grayscale -quality 85 > jpeg_grey.jpg
djpeg -dct int rot_420.jpg | cjpeg -progressive -quality 80 | wrjpgcom -comment "first" > jpeg_prog.tmp
/usr/bin/python3 - <<'PY'
# A second COM segment and an APP1 segment after the first comment.
data = open("jpeg_prog.tmp", "rb").read()
i = data.index(b"\xff\xfe")
extra = b"\xff\xfe\x00\x08second" + b"\xff\xe1\x00\x08Exif\x00\x00"
open("jpeg_prog.jpg", "wb").write(data[:i] + extra + data[i:])
PY
rm jpeg_prog.tmp
cp rot_420.jpg jpeg_420.jpg
for f in jpeg_420 jpeg_grey jpeg_prog; do
  djpeg -dct int -pnm $f.jpg > $f.pnm
  /usr/bin/python3 -c "from PIL import Image; Image.open('$f.pnm').convert('RGB').save('$f.ppm')"
  rm $f.pnm
done
djpeg -dct int -scale 1/8 jpeg_420.jpg > jpeg_420_scale8.ppm

# PNGs of each colour type, with Pillow's decode as the reference (alpha dropped, as the
# loader does with transparency handling off), one interlaced and one with text chunks.
/usr/bin/python3 - <<'PY'
from PIL import Image, PngImagePlugin
w, h = 7, 5
rgb = Image.new("RGB", (w, h))
rgb.putdata([((x * 40) % 256, (y * 60) % 256, ((x + y) * 25) % 256) for y in range(h) for x in range(w)])
rgba = rgb.copy()
rgba.putalpha(Image.new("L", (w, h), 128))
mono = rgb.convert("L").point(lambda v: 255 if v > 100 else 0).convert("1")
text = PngImagePlugin.PngInfo()
text.add_text("Comment", "first")
text.add_text("Title", "second")
saves = {
    "png_1.png": (mono, {}),
    "png_grey.png": (rgb.convert("L"), {}),
    "png_pal4.png": (rgb.quantize(colors=16), {"bits": 4}),
    "png_rgb.png": (rgb, {}),
    "png_rgba.png": (rgba, {}),
    "png_text.png": (rgb, {"pnginfo": text}),
}
for name, (img, kw) in saves.items():
    img.save(name, "PNG", **kw)
PY
# (its two date text chunks make the file differ from run to run)
/usr/bin/convert png_rgb.png -interlace PNG png_interlaced.png
for f in png_1 png_grey png_pal4 png_rgb png_rgba png_text png_interlaced; do
  /usr/bin/python3 -c "from PIL import Image; Image.open('$f.png').convert('RGB').save('$f.ppm')"
done

# More depths: 16- and 32-bit BMP, 2-colour GIF, 2-bit grey and 16-bit colour PNG, 4-bit TIFF.
/usr/bin/python3 - <<'PY'
from PIL import Image
rgb = Image.open("png_rgb.png").convert("RGB")
rgba = rgb.copy()
rgba.putalpha(200)
rgba.save("bmp_32.bmp", "BMP")
rgb.quantize(colors=2).save("gif_2.gif", "GIF")
PY
/usr/bin/convert png_rgb.png -define bmp:subtype=RGB565 bmp_16.bmp
/usr/bin/convert png_rgb.png -define png:exclude-chunks=date,time PNG48:png_48.png
/usr/bin/python3 - <<'PY'
from PIL import Image
rgb = Image.open("png_rgb.png").convert("RGB")
rgb.quantize(colors=4).save("png_pal2.png", "PNG", bits=2)
# 16-bit grey whose high bytes are the 8-bit picture: the reference is the 8-bit picture.
grey = rgb.convert("L")
wide = Image.new("I;16", grey.size)
wide.putdata([v * 257 for v in grey.getdata()])
wide.save("png_grey16.png", "PNG")
grey.convert("RGB").save("png_grey16.ppm")
PY
/usr/bin/convert png_rgb.png -colors 16 -depth 4 -type Palette -compress None tiff_4.tif
for f in bmp_32 bmp_16 gif_2 png_pal2 png_48 tiff_4; do
  ext=$(ls $f.* | grep -v ppm | head -1)
  /usr/bin/python3 -c "from PIL import Image; Image.open('$ext').convert('RGB').save('$f.ppm')"
done
