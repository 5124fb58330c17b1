#!/usr/bin/env bash
# Lossless transforms against jpegtran: for every operation, with and without trimming, on
# iMCU-aligned and unaligned files of several samplings, progressive and grey, djpeg of our
# output equals djpeg of jpegtran's (and the files themselves are identical, since both code
# the same coefficients with optimised tables). Also progressive and grey output, the marker
# copy options, and rotate 90 then 270 giving back the coefficients of an aligned file.
# usage: jpeg_transform.sh CODECTOOL BUILD_DIR
set -uo pipefail
tool=$1
build=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
run() { ${PX_EMULATOR:+"$PX_EMULATOR"} "$tool" "$@"; }

ljt=$("$top/scripts/fetch-suite.sh" libjpeg-turbo)/testimages
go=$("$top/scripts/fetch-suite.sh" golang-1.19)/src/image/testdata
out=$build/jpeg_transform
rm -rf "$out"
mkdir -p "$out"

# An aligned colour file (4:2:0, iMCU 16x16) with a comment and an Exif-like APP1, and an
# aligned grey one, cut losslessly from the suites' files.
jpegtran -copy all -crop 224x144+0+0 "$ljt/testorig.jpg" >"$out/aligned420.jpg"
jpegtran -copy none -crop 144x96+0+0 "$go/video-005.gray.jpeg" >"$out/alignedgrey.jpg"
printf 'Exif\0\0MM\0\x2a\0\0\0\x08\0\0' >"$out/app1.bin"
wrjpgcom -comment "transform test" "$out/aligned420.jpg" >"$out/commented.jpg"

jpegtran_op() {
  case $1 in
    rot90) echo "-rotate 90" ;;
    rot180) echo "-rotate 180" ;;
    rot270) echo "-rotate 270" ;;
    fliph) echo "-flip horizontal" ;;
    flipv) echo "-flip vertical" ;;
    none) echo "" ;;
  esac
}

status=0
count=0
identical=0
check() {  # check NAME FILE OP [our flags] -- [jpegtran flags]
  local name=$1 file=$2 op=$3
  shift 3
  local ours=() theirs=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do ours+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  theirs=("$@")
  count=$((count + 1))
  local line
  line=$(run transform "$file" -o "$out/ours.jpg" --op "$op" "${ours[@]}" 2>/dev/null | tr -d '\r')
  # shellcheck disable=SC2046
  jpegtran -optimize $(jpegtran_op "$op") "${theirs[@]}" "$file" >"$out/ref.jpg"
  djpeg -bmp "$out/ref.jpg" >"$out/ref.bmp"
  local size
  size=$(/usr/bin/python3 -c "import struct,sys; d=open(sys.argv[1],'rb').read(); print('%dx%d' % struct.unpack_from('<ii', d, 18))" "$out/ref.bmp")
  if [ "$line" != "$size" ]; then
    echo "$name: we print '$line', jpegtran's output is $size"
    status=1
    return
  fi
  djpeg -bmp "$out/ours.jpg" >"$out/ours.bmp"
  if ! cmp -s "$out/ours.bmp" "$out/ref.bmp"; then
    echo "$name: djpeg of our output differs from djpeg of jpegtran's"
    status=1
  fi
  if cmp -s "$out/ours.jpg" "$out/ref.jpg"; then identical=$((identical + 1)); else [ -n "${PX_VERBOSE:-}" ] && echo "not identical: $name"; fi
}

files=("$ljt/testorig.jpg" "$out/aligned420.jpg" "$out/alignedgrey.jpg"
       "$go/video-001.q50.422.jpeg" "$go/video-001.q50.444.jpeg" "$go/video-001.q50.411.jpeg"
       "$go/video-001.q50.440.progressive.jpeg" "$go/video-005.gray.q50.2x2.jpeg")
for f in "${files[@]}"; do
  for op in rot90 rot180 rot270 fliph flipv none; do
    check "$(basename "$f") $op" "$f" $op --copy none -- -copy none
    check "$(basename "$f") $op trim" "$f" $op --trim --copy none -- -trim -copy none
  done
done
for op in rot90 flipv none; do
  check "progressive $op" "$ljt/testorig.jpg" $op --progressive --copy none -- -progressive -copy none
  check "grey $op" "$ljt/testorig.jpg" $op --grey --trim --copy none -- -grayscale -trim -copy none
  check "copy comments $op" "$out/commented.jpg" $op --copy comments -- -copy comments
  check "copy all $op" "$out/commented.jpg" $op --copy all -- -copy all
done

# Force grey on CMYK is refused with the library's message.
line=$(run transform "$go/video-001.cmyk.jpeg" -o "$out/cmyk.jpg" --op none --grey 2>/dev/null | tr -d '\r')
if [ "$line" != "error 0: Unsupported color conversion request" ]; then
  echo "grey CMYK: $line"
  status=1
fi

# Rotating an aligned file by 90 and back by 270 gives back its coefficients.
run transform "$out/aligned420.jpg" -o "$out/r90.jpg" --op rot90 --copy none >/dev/null 2>&1
run transform "$out/r90.jpg" -o "$out/back.jpg" --op rot270 --copy none >/dev/null 2>&1
run transform "$out/aligned420.jpg" -o "$out/same.jpg" --op none --copy none >/dev/null 2>&1
if ! cmp -s "$out/back.jpg" "$out/same.jpg"; then
  echo "rot90 then rot270 is not the identity on an aligned file"
  status=1
fi

echo "$count transforms compared with jpegtran, $identical byte-identical files"
exit $status
