#!/usr/bin/env bash
# Our TIFF reader and writer against references nobody here wrote: libtiff's test images
# (Debian source package tiff) with their netpbm references, and Go's x/image TIFFs with PNG
# references, decode exactly when uncompressed, and compressed, tiled, planar, 16-bit grey
# and alpha files are refused with error 2. Files we write pass tiffinfo -D and tiffdump, and
# Pillow decodes them to exactly our pixels (and to the source's where nothing is reduced).
# usage: tiff_reference.sh CODECTOOL BUILD_DIR   (PX_EMULATOR runs a Windows codectool)
set -euo pipefail
tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
libtiff=$("$top/scripts/fetch-suite.sh" tiff)/test/images
go=$("$top/scripts/fetch-suite.sh" golang-golang-x-image)/testdata
(cd "$libtiff" && sha256sum --quiet -c "$here/tiff_suite.sha256")
(cd "$go" && sha256sum --quiet -c "$here/tiff_suite_go.sha256")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$here/codectool_common.bash"
compare() { /usr/bin/python3 "$here/tiff_compare.py" "$@"; }

# FILE REFERENCE: a reference file, "self" for Pillow's decode of the file itself, or
# "refused" for error 2.
while read -r dir name ref; do
  case $dir in libtiff) folder=$libtiff ;; go) folder=$go ;; esac
  src=$folder/$name
  status=0
  out=$(codectool decode "$(tool_path "$src")" -o "$(tool_path "$work/$name.bmp")") || status=$?
  if [ "$ref" = refused ]; then
    [[ $status = 1 && $out == "error 2:"* ]] || problem "$name: expected error 2, got '$out'"
    continue
  fi
  [ $status = 0 ] || { problem "$name: $out"; continue; }
  [ "$ref" = self ] && ref=$name
  compare ref "$work/$name.bmp" "$folder/$ref" || problem "$name"
done <<'LIST'
libtiff minisblack-1c-8b.tiff minisblack-1c-8b.pgm
libtiff miniswhite-1c-1b.tiff miniswhite-1c-1b.pbm
libtiff rgb-3c-8b.tiff rgb-3c-8b.ppm
libtiff rgb-3c-16b.tiff rgb-3c-16b.ppm
libtiff palette-1c-1b.tiff self
libtiff palette-1c-4b.tiff self
libtiff palette-1c-8b.tiff self
libtiff custom_dir_EXIF_GPS.tiff self
libtiff test_two_ifds.tif self
libtiff minisblack-1c-16b.tiff refused
libtiff minisblack-2c-8b-alpha.tiff refused
libtiff deflate-last-strip-extra-data.tiff refused
libtiff logluv-3c-16b.tiff refused
libtiff lzw-single-strip.tiff refused
libtiff ojpeg_chewey_subsamp21_multi_strip.tiff refused
libtiff ojpeg_single_strip_no_rowsperstrip.tiff refused
libtiff ojpeg_zackthecat_subsamp22_single_strip.tiff refused
libtiff quad-lzw-compat.tiff refused
libtiff quad-tile.jpg.tiff refused
libtiff test_float64_predictor2_be_lzw.tif refused
libtiff testfax4.tiff refused
libtiff tiff_with_subifd_chain.tif refused
go bw-uncompressed.tiff bw-gopher.png
go video-001-uncompressed.tiff video-001.png
go video-001-gray.tiff self
go blue-purple-pink.lzwcompressed.tiff refused
go bw-deflate.tiff refused
go bw-packbits.tiff refused
go bw-gopher_ccittGroup3.tiff refused
go bw-gopher_ccittGroup4.tiff refused
go no_compress.tiff refused
go no_rps.tiff refused
go video-001.tiff refused
go video-001-16bit.tiff refused
go video-001-gray-16bit.tiff refused
go video-001-paletted.tiff refused
go video-001-strip-64.tiff refused
go video-001-tile-64x64.tiff refused
LIST

# Files we write, at every target depth the writer has.
cd "$work"
/usr/bin/convert -size 61x47 -seed 4 plasma:fractal -type truecolor BMP3:photo.bmp
/usr/bin/convert -size 33x25 -seed 5 plasma:fractal -colors 13 -type palette -compress none BMP3:indexed.bmp
while read -r src bits options lossless; do
  out=$work/$src-$bits$options.tif
  extra=()
  [ "$options" = -grey ] && extra=(--grey)
  msg=$(codectool encode "$(tool_path "$work/$src.bmp")" -o "$(tool_path "$out")" --format tiff --bits "$bits" \
    "${extra[@]}") || { problem "encode $src $bits$options: $msg"; continue; }
  report=$(tiffinfo -D "$out" 2>&1 >/dev/null) || problem "tiffinfo $src $bits$options"
  [ -z "$report" ] || problem "tiffinfo $src $bits$options: $report"
  tiffdump "$out" >/dev/null 2>&1 || problem "tiffdump $src $bits$options"
  msg=$(codectool decode "$(tool_path "$out")" -o "$(tool_path "$out.bmp")") ||
    { problem "decode $src $bits$options: $msg"; continue; }
  compare written "$out" "$out.bmp" || problem "$src $bits$options in Pillow"
  if [ "$lossless" = lossless ]; then compare ref "$out.bmp" "$work/$src.bmp" || problem "$src $bits$options"; fi
done <<'LIST'
photo 24 - lossless
photo 8 -grey -
photo 8 - -
photo 4 - -
photo 1 - -
indexed 24 - lossless
indexed 8 - lossless
indexed 8 -grey -
indexed 4 - lossless
indexed 1 - -
LIST
finish
