#!/usr/bin/env bash
# Files the PNG writer makes pass pngcheck -vv with the filter of every row as chosen, and
# Pillow decodes them to the pixels our reader returns, for every target depth, colour type,
# interlace setting and filter mode; then a comment rewrite shows in pngcheck -t and leaves
# the image as it was.
# usage: png_writer.sh CODECTOOL BUILD_DIR
set -uo pipefail
tool=$1
build=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
run() { ${PX_EMULATOR:+"$PX_EMULATOR"} "$tool" "$@"; }
check() { /usr/bin/python3 "$here/png_writer_check.py" "$@"; }

suite=$("$top/scripts/fetch-suite.sh" libspng)/tests/images
out=$build/png_writer
rm -rf "$out"
mkdir -p "$out"
failures=0
count=0
fail() { echo "$*"; failures=$((failures + 1)); }
# Files are written and checked a few at a time: under Wine each start of the tool costs far
# more than its work.
jobs=4
throttle() { while [ "$(jobs -rp | wc -l)" -ge $jobs ]; do wait -n; done; }

# One written file: encode, pngcheck and Pillow against our decode. A failure leaves FILE.failed.
check_one() {
  local name=$1 src=$2 bits=$3 extra=$4 lossless=$5 interlace=$6 filter=$7
  local file=$out/$name.i$interlace.f$filter.png
  local flags=(--bits "$bits" --filter "$filter" --dither 3)
  [ -n "$extra" ] && flags+=("$extra")
  [ "$interlace" = 1 ] && flags+=(--interlace)
  if ! run encode "$suite/$src.png" -o "$file" --format png "${flags[@]}" >"$file.log" 2>&1; then
    echo "$name i$interlace f$filter: $(cat "$file.log")" | tee "$file.failed"
    return
  fi
  if ! run decode "$file" -o "$file.bmp" >/dev/null; then
    echo "$name i$interlace f$filter: decode of the written file failed" | tee "$file.failed"
    return
  fi
  local want=0
  if [ "$bits" = 24 ] || [ -n "$extra" ]; then
    want=-1
    [ "$filter" != 0 ] && want=$((filter - 1))
  fi
  local source=()
  [ "$lossless" = 1 ] && source=("$out/$name.src.bmp")
  check "$file" "$file.bmp" "$want" "${source[@]}" || touch "$file.failed"
}

# name, source file, target bits, extra options, lossless
cases=(
  "rgb:basn2c08:24::1"
  "rgb_odd:s05n3p02:24::1"
  "grey:basn2c08:8:--grey:0"
  "pal8:basn3p08:8::1"
  "pal8_odd:s35n3p04:8::1"
  "pal4:s35n3p04:4::0"
  "pal2:basn3p02:2::0"
  "pal1:basn0g01:1::0"
  "pal8_from_rgb:basn2c08:8::0"
)
for entry in "${cases[@]}"; do
  IFS=: read -r name src bits extra lossless <<<"$entry"
  run decode "$suite/$src.png" -o "$out/$name.src.bmp" >/dev/null || { fail "$name: source decode failed"; continue; }
  # Palette images are always written with filter None, whatever the mode.
  if [ "$bits" = 24 ] || [ -n "$extra" ]; then filters="0 1 2 3 4 5"; else filters="0 5"; fi
  for interlace in 0 1; do
    for filter in $filters; do
      throttle
      check_one "$name" "$src" "$bits" "$extra" "$lossless" "$interlace" "$filter" &
      count=$((count + 1))
    done
  done
done
wait
failures=$((failures + $(find "$out" -name '*.failed' | wc -l)))

# Comment rewrite: pngcheck -t shows the new text, the pixels stay.
file=$out/comment.png
run encode "$suite/basn2c08.png" -o "$file" --format png --comment "old text" >/dev/null || fail "comment: encode failed"
run decode "$file" -o "$out/comment.before.bmp" >/dev/null
for text in "replaced text" "second edit"; do
  result=$(run comment set "$file" "$text")
  [ "$result" = replaced ] || fail "comment set: $result"
  pngcheck -t "$file" | grep -q "Comment:" || fail "comment: pngcheck -t shows no comment"
  pngcheck -t "$file" | grep -Fq "$text" || fail "comment: pngcheck -t does not show '$text'"
  pngcheck -q "$file" >/dev/null || fail "comment: pngcheck finds errors"
  got=$(run comment get "$file" | tr -d '\r')
  [ "$got" = "$text" ] || fail "comment get: '$got'"
done
run decode "$file" -o "$out/comment.after.bmp" >/dev/null
cmp -s "$out/comment.before.bmp" "$out/comment.after.bmp" || fail "comment: pixels changed"
result=$(run comment set "$file")
[ "$result" = removed ] || fail "comment remove: $result"
pngcheck -t "$file" | grep -q "Comment" && fail "comment: still present after removal"
run textlist "$file" | grep -q . && fail "textlist lists a removed comment"

echo "$count written files checked, $failures failures"
[ $failures = 0 ] && [ $count -gt 0 ]
