#!/usr/bin/env bash
# codectool detect gives the expected FileTypeCode for each file, natively and under Wine
# alike (the same table is checked in both trees).
set -euo pipefail
tool=$1
run=(${PX_EMULATOR:-} "$tool")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

mk() { printf "$2" >"$dir/$1"; }
mk empty ''
mk b 'B'
mk bm 'BM'
mk gi 'GI'
mk gif 'GIF89a'
mk gix 'GIX'
mk ii 'II'
mk tiff_le 'II*\000\010\000\000\000'
mk tiff_be 'MM\000*'
mk mm3 'MM\000'
mk png '\211PNG\r\n\032\n'
mk png5 '\211PNG\r'
mk png_bad '\211PNG\r\n\032\013'
mk jpeg '\377\330\377\340'
mk text 'hello'

expected="empty 6
b 0
bm 1
gi 6
gif 5
gix 0
ii 6
tiff_le 4
tiff_be 4
mm3 6
png 2
png5 6
png_bad 0
jpeg 3
text 0
missing 0"

status=0
while read -r name code; do
  path=$dir/$name
  if [ -n "${PX_EMULATOR:-}" ]; then path="Z:$path"; fi
  got=$("${run[@]}" detect "$path" 2>/dev/null | tr -d '\r')
  if [ "$got" != "$code" ]; then
    echo "detect $name: got '$got', expected $code"
    status=1
  fi
done <<<"$expected"
[ $status = 0 ] && echo "detect: all cases agree"
exit $status
