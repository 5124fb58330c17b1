#!/usr/bin/env bash
# Our BMP writer and reader against Pillow and ImageMagick: files we write at 1, 4, 8 and 24
# bits read in Pillow as exactly our pixels and palette; uncompressed files ImageMagick and
# Pillow write (1/4/8/24 bits, RGB565/555 bit fields, core, V3 and V5 headers) decode to what
# Pillow decodes, while their RLE8 files and top-down copies are refused with error 2; images
# with at most N colours reduce without loss to a sorted palette.
# usage: bmp_pillow.sh CODECTOOL BUILD_DIR   (PX_EMULATOR runs a Windows codectool)
set -euo pipefail
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
suite=$("$top/scripts/fetch-suite.sh" pillow)/Tests/images/bmp
(cd "$suite" && sha256sum --quiet -c "$here/bmp_suite.sha256")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$here/bmp_common.bash"
compare() { /usr/bin/python3 "$here/bmp_compare.py" "$@"; }

photo=$suite/g/rgb24.bmp
indexed=$suite/g/pal8.bmp

# Our files, read back by Pillow.
for src in "$photo" "$indexed"; do
  for bits in 1 4 8 24; do
    for dither in 0 3; do
      out=$work/ours-$(basename "$src" .bmp)-$bits-$dither.bmp
      encode "$src" "$out" "$bits" "$dither" >/dev/null
      decode "$out" "$work/dump.bmp" >/dev/null
      compare written "$out" "$work/dump.bmp"
      # Reductions sort their palettes; 8 to 8 bits keeps the source's palette.
      if [ "$bits" = 4 ] || { [ "$bits" = 8 ] && [ "$src" = "$photo" ]; }; then compare sorted "$out"; fi
    done
  done
done

# Files written by other programs decode to Pillow's pixels.
im() { /usr/bin/convert "$photo" "$@"; }
im -monochrome BMP3:"$work/im1.bmp"
im -colors 12 -type palette -compress none BMP3:"$work/im4.bmp"
im -colors 200 -type palette -compress none BMP3:"$work/im8.bmp"
im -colors 200 -type palette -compress none BMP2:"$work/im8core.bmp"
im -type truecolor BMP3:"$work/im24.bmp"
im -type truecolor BMP:"$work/im24v5.bmp"
im -define bmp:subtype=RGB565 "$work/im565.bmp"
im -define bmp:subtype=RGB555 "$work/im555.bmp"
im -alpha set -define bmp:subtype=ARGB8888 "$work/im32.bmp"
im -colors 200 -type palette -compress RLE BMP3:"$work/imrle8.bmp"
im -colors 6 -type palette -compress RLE BMP3:"$work/imrle8few.bmp"
/usr/bin/python3 - "$photo" "$work" <<'PY'
import sys
from PIL import Image
src = Image.open(sys.argv[1]).convert("RGB")
out = sys.argv[2]
src.convert("1").save(out + "/pil1.bmp")
src.convert("L").save(out + "/pil8grey.bmp")
src.quantize(100).save(out + "/pil8.bmp")
src.save(out + "/pil24.bmp")
PY
# Top-down copies of the uncompressed files: rows in reverse order under a negative height.
# They are refused, never read upside down.
/usr/bin/python3 - "$work" <<'PY'
import glob, os, struct, sys
for path in glob.glob(sys.argv[1] + "/im*.bmp") + glob.glob(sys.argv[1] + "/pil*.bmp"):
    d = bytearray(open(path, "rb").read())
    offset, header = struct.unpack_from("<II", d, 10)
    if header < 40 or struct.unpack_from("<I", d, 30)[0] not in (0, 3):
        continue  # core headers have no sign; run-length data is bottom-up only
    width, height, _, bits = struct.unpack_from("<iiHH", d, 18)
    stride = (width * bits + 31) // 32 * 4
    rows = [d[offset + y * stride:offset + (y + 1) * stride] for y in range(height)]
    d[offset:offset + stride * height] = b"".join(reversed(rows))
    struct.pack_into("<i", d, 22, -height)
    open(os.path.join(sys.argv[1], "td-" + os.path.basename(path)), "wb").write(d)
PY
for f in "$work"/imrle8*.bmp "$work"/td-*.bmp; do
  status=0
  out=$(decode "$f" "$work/dump.bmp") || status=$?
  [[ $status = 1 && $out == "error 2:"* ]] || { echo "FAIL: $(basename "$f"): expected error 2, got '$out'"; exit 1; }
done
for f in "$work"/im*.bmp "$work"/pil*.bmp; do
  case $(basename "$f") in imrle8*) continue ;; esac
  decode "$f" "$work/dump.bmp" >/dev/null
  case $(basename "$f") in
    *im565.bmp | *im555.bmp) tol=1 ;;  # 5- and 6-bit channels are scaled with other rounding
    *) tol=0 ;;
  esac
  compare rgb "$work/dump.bmp" "$f" "$tol"
done

# Images with at most N colours, made by Pillow, written at fewer bits without loss.
while read -r bits colours; do
  /usr/bin/python3 - "$photo" "$work/few.bmp" "$colours" <<'PY'
import sys
from PIL import Image
Image.open(sys.argv[1]).convert("RGB").quantize(int(sys.argv[3])).convert("RGB").save(sys.argv[2])
PY
  n=$(/usr/bin/python3 -c "from PIL import Image; import sys; print(len(set(Image.open(sys.argv[1]).getdata())))" "$work/few.bmp")
  encode "$work/few.bmp" "$work/reduced.bmp" "$bits" 0 >/dev/null
  compare reduced "$work/few.bmp" "$work/reduced.bmp" "$n"
done <<'LIST'
4 16
4 5
8 256
8 37
LIST
echo "BMP against Pillow and ImageMagick: all checks passed"
