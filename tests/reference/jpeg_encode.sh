#!/usr/bin/env bash
# Encoding against cjpeg with the same options (quality with baseline tables, optimised
# Huffman coding, sampling, progressive, greyscale, a comment added by wrjpgcom): the files
# are identical, or at least their quantisation tables and djpeg's pixels are. The
# size-limited save writes cjpeg's encode at the quality it reports, within the limit, while
# the next quality up would not fit.
# usage: jpeg_encode.sh CODECTOOL BUILD_DIR
set -uo pipefail
tool=$1
build=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
run() { ${PX_EMULATOR:+"$PX_EMULATOR"} "$tool" "$@"; }

ljt=$("$top/scripts/fetch-suite.sh" libjpeg-turbo)/testimages
go=$("$top/scripts/fetch-suite.sh" golang-1.19)/src/image/testdata
out=$build/jpeg_encode
rm -rf "$out"
mkdir -p "$out"
status=0
count=0
identical=0

# The quantisation tables (DQT bodies) of a file, in order.
tables() {
  /usr/bin/python3 - "$1" <<'PY'
import sys
d = open(sys.argv[1], 'rb').read()
i = 2
while i + 4 <= len(d) and d[i] == 0xFF and d[i + 1] != 0xDA:
    n = (d[i + 2] << 8) | d[i + 3]
    if d[i + 1] == 0xDB:
        print(d[i + 4:i + 2 + n].hex())
    i += 2 + n
PY
}

# An 8-bit BMP as 24 bits, for cjpeg, which would read a grey palette as one component.
to24() {
  /usr/bin/python3 - "$1" "$2" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
off = struct.unpack_from('<I', d, 10)[0]
size, w, h, _, bits = struct.unpack_from('<IiiHH', d, 14)
assert bits == 8
pal = d[14 + size:off]
src = ((w + 3) // 4) * 4
dst = (w * 3 + 3) & ~3
rows = bytearray()
for y in range(h):
    row = bytearray()
    for x in range(w):
        i = d[off + y * src + x] * 4
        row += pal[i:i + 3]
    rows += row + bytes(dst - len(row))
hdr = struct.pack('<2sIHHI', b'BM', 54 + len(rows), 0, 0, 54)
hdr += struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 0, 0, 0, 0)
open(sys.argv[2], 'wb').write(hdr + rows)
PY
}

compare() {  # compare NAME OURS REF
  count=$((count + 1))
  if cmp -s "$2" "$3"; then
    identical=$((identical + 1))
    return
  fi
  if [ "$(tables "$2")" != "$(tables "$3")" ]; then
    echo "$1: quantisation tables differ from cjpeg's"
    status=1
  elif ! { djpeg -bmp "$2" >"$out/a.bmp" && djpeg -bmp "$3" >"$out/b.bmp" &&
           /usr/bin/python3 "$here/jpeg_bmp_compare.py" "$out/a.bmp" "$out/b.bmp" >/dev/null; }; then
    echo "$1: decoded pixels differ from cjpeg's"
    status=1
  fi
}

for f in "$ljt/testorig.jpg" "$go/video-001.jpeg" "$go/video-005.gray.jpeg"; do
  stem=$(basename "$f")
  run decode "$f" -o "$out/in.bmp" >/dev/null 2>&1
  cp "$out/in.bmp" "$out/in24.bmp"
  case $stem in *gray*) to24 "$out/in.bmp" "$out/in24.bmp" ;; esac
  while IFS='|' read -r name ours theirs; do
    rm -f "$out/ours.jpg"
    # shellcheck disable=SC2086
    if ! run encode "$f" -o "$out/ours.jpg" --format jpeg $ours >/dev/null 2>&1; then
      echo "$stem $name: our encode failed"
      status=1
      continue
    fi
    # shellcheck disable=SC2086
    cjpeg -baseline -optimize $theirs "$out/in24.bmp" >"$out/ref.jpg"
    compare "$stem $name" "$out/ours.jpg" "$out/ref.jpg"
  done <<'CASES'
default|--quality=75|-quality 75 -sample 2x2
q90_2x1|--quality=90 --sampling=1|-quality 90 -sample 2x1
q100_1x1|--quality=100 --sampling=2|-quality 100 -sample 1x1
q10|--quality=10|-quality 10
q150_is_75|--quality=150|-quality 75
progressive|--quality=80 --progressive|-quality 80 -progressive
grey|--quality=85 --grey|-quality 85 -grayscale
CASES
  # A comment follows the JFIF header, as wrjpgcom puts it.
  run encode "$f" -o "$out/ours.jpg" --format jpeg --quality=70 --comment "made here" >/dev/null 2>&1
  cjpeg -baseline -optimize -quality 70 "$out/in24.bmp" | wrjpgcom -comment "made here" >"$out/ref.jpg"
  compare "$stem comment" "$out/ours.jpg" "$out/ref.jpg"

  # Size-limited save.
  for limit in 3 6 12; do
    line=$(run encode "$f" -o "$out/limited.jpg" --format jpeg --limit "$limit" 2>/dev/null | tr -d '\r')
    q=${line#quality }
    size=$(stat -c %s "$out/limited.jpg" 2>/dev/null || echo 0)
    if ! [[ $q =~ ^[0-9]+$ ]] || [ "$size" -gt $((limit * 1024)) ] || [ "$size" -eq 0 ]; then
      echo "$stem limit $limit: '$line', $size bytes"
      status=1
      continue
    fi
    cjpeg -baseline -optimize -quality "$q" "$out/in24.bmp" >"$out/ref.jpg"
    compare "$stem limit $limit" "$out/limited.jpg" "$out/ref.jpg"
    if [ "$q" -lt 100 ]; then
      next=$(cjpeg -baseline -optimize -quality $((q + 1)) "$out/in24.bmp" | wc -c)
      [ "$next" -gt $((limit * 1024)) ] || { echo "$stem limit $limit: quality $((q + 1)) would fit too"; status=1; }
    fi
  done
done
# A limit nothing fits is a failure and leaves no file.
rm -f "$out/none.jpg"
line=$(run encode "$ljt/testorig.jpg" -o "$out/none.jpg" --format jpeg --limit 0 2>/dev/null | tr -d '\r')
if [ "$line" != "error 7: 画像の保存に失敗しました。" ] || [ -e "$out/none.jpg" ]; then
  echo "limit 0: '$line'"
  status=1
fi
echo "$count encodes compared with cjpeg, $identical byte-identical"
exit $status
