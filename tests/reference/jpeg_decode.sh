#!/usr/bin/env bash
# JPEG decoding against djpeg: libjpeg-turbo's test images and Go's image test data (every
# subsampling, progressive, grey, truncated) decode to djpeg's pixels byte for byte at 1/1,
# 1/2, 1/4 and 1/8; files djpeg refuses are refused with a codec error. The CMYK file follows
# the c*k/255 mix, checked against Pillow's reading of it.
# usage: jpeg_decode.sh CODECTOOL BUILD_DIR
set -uo pipefail
tool=$1
build=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
run() { ${PX_EMULATOR:+"$PX_EMULATOR"} "$tool" "$@"; }

ljt=$("$top/scripts/fetch-suite.sh" libjpeg-turbo)/testimages
go=$("$top/scripts/fetch-suite.sh" golang-1.19)/src/image/testdata
out=$build/jpeg_decode
rm -rf "$out"
mkdir -p "$out"

status=0
count=0
for f in "$ljt"/*.jpg "$go"/*.jpeg; do
  stem=$(basename "$f")
  # djpeg mixes CMYK by a rule of its own; that file is checked below.
  case $stem in *cmyk*) continue ;; esac
  for s in 1 2 4 8; do
    line=$(run decode "$f" -o "$out/ours.bmp" --scale $s 2>/dev/null | tr -d '\r')
    djpeg -dct int -bmp -scale 1/$s "$f" >"$out/ref.bmp" 2>/dev/null
    rc=$?
    count=$((count + 1))
    if [ $rc -eq 0 ] || { [ $rc -eq 2 ] && [ -s "$out/ref.bmp" ]; }; then
      if ! printf '%s\n' "$line" | grep -Eq '^[0-9]+x[0-9]+ (8|24)$'; then
        echo "$stem 1/$s: djpeg decodes it, we print: $line"
        status=1
      elif ! /usr/bin/python3 "$here/jpeg_bmp_compare.py" "$out/ours.bmp" "$out/ref.bmp"; then
        echo "$stem 1/$s: pixels differ from djpeg"
        status=1
      fi
    else
      if ! printf '%s\n' "$line" | grep -Eq '^error [0-9]+: '; then
        echo "$stem 1/$s: djpeg refuses it, we print: $line"
        status=1
      fi
    fi
  done
done
echo "$count decodes compared with djpeg"

# CMYK: Pillow gives the inverted Adobe samples; the reader mixes the library's samples.
cmyk=$go/video-001.cmyk.jpeg
line=$(run decode "$cmyk" -o "$out/cmyk.bmp" 2>/dev/null | tr -d '\r')
if [ "$line" != "150x103 24" ]; then
  echo "cmyk: $line"
  status=1
fi
/usr/bin/python3 - "$cmyk" "$out/cmyk.bmp" <<'PY' || status=1
import struct, sys
from PIL import Image
im = Image.open(sys.argv[1])
assert im.mode == 'CMYK', im.mode
w, h = im.size
data = open(sys.argv[2], 'rb').read()
off = struct.unpack_from('<I', data, 10)[0]
stride = (w * 3 + 3) & ~3
px = im.load()
for y in range(h):
    row = data[off + (h - 1 - y) * stride:]
    for x in range(w):
        c, m, ye, k = (255 - v for v in px[x, y])
        want = (ye * k // 255, m * k // 255, c * k // 255)
        got = tuple(row[3 * x:3 * x + 3])
        if got != want:
            print('cmyk pixel (%d,%d): got %s want %s' % (x, y, got, want))
            sys.exit(1)
PY
exit $status
