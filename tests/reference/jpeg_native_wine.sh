#!/usr/bin/env bash
# Under Wine: codectool.exe prints the same as the native codectool, and writes the same
# files, for every JPEG fixture (decode, Exif, comment, a transform; the other scales are
# checked against djpeg on both sides by jpeg_decode.sh). The
# native tree has nothing to compare with and passes.
# usage: jpeg_native_wine.sh CODECTOOL BUILD_DIR
set -uo pipefail
tool=$1
build=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
if [ -z "${PX_EMULATOR:-}" ]; then
  echo "native tree: nothing to compare"
  exit 0
fi
native=$(cd "$build/.." && pwd)/native/bin/codectool
if [ ! -x "$native" ]; then
  echo "no native codectool at $native"
  exit 1
fi
ljt=$("$top/scripts/fetch-suite.sh" libjpeg-turbo)/testimages
go=$("$top/scripts/fetch-suite.sh" golang-1.19)/src/image/testdata
out=$build/jpeg_native_wine
rm -rf "$out"
mkdir -p "$out"
status=0
count=0

both() {  # both NAME ARGS... with @OUT standing for a per-side output file
  local name=$1
  shift
  local wa=() na=()
  for a in "$@"; do
    wa+=("${a//@OUT/$out/wine.out}")
    na+=("${a//@OUT/$out/native.out}")
  done
  rm -f "$out/wine.out" "$out/native.out"
  local w n
  w=$("$PX_EMULATOR" "$tool" "${wa[@]}" 2>/dev/null | tr -d '\r')
  n=$("$native" "${na[@]}" 2>/dev/null)
  count=$((count + 1))
  if [ "$w" != "$n" ]; then
    echo "$name: Wine prints '$w', native '$n'"
    status=1
  elif [ -e "$out/native.out" ] && ! cmp -s "$out/wine.out" "$out/native.out"; then
    echo "$name: the files written differ"
    status=1
  fi
}

for f in "$ljt"/*.jpg "$go"/*.jpeg "$top"/tests/data/jpeg/*.jpg; do
  stem=$(basename "$f")
  both "$stem decode" decode "$f" -o @OUT
  both "$stem exif" exif "$f"
  both "$stem comment" comment get "$f"
  both "$stem rot90" transform "$f" -o @OUT --op rot90 --trim
done
echo "$count runs identical under Wine and natively"
exit $status
