#!/usr/bin/env bash
# The public BMP suite (from Debian's pillow source package) against our reader: good files
# decode to the suite's reference PNGs; the named bad files are refused with a codec error
# or decode; no bad or questionable file crashes or, natively under the sanitizers, leaks.
# usage: bmp_suite.sh CODECTOOL BUILD_DIR   (PX_EMULATOR runs a Windows codectool)
set -euo pipefail
tool=$1
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
suite=$("$top/scripts/fetch-suite.sh" pillow)/Tests/images/bmp
(cd "$suite" && sha256sum --quiet -c "$here/bmp_suite.sha256")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$here/bmp_common.bash"

failures=0
problem() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Every good file with the reference it must match, within 1 where the reference rounds
# 16-bit channels or palette entries differently. RLE and top-down files are refused by
# design (error 2), like every compressed or top-down bitmap.
while read -r name ref tol; do
  status=0
  out=$(decode "$suite/g/$name.bmp" "$work/$name.bmp") || status=$?
  if [ "$ref" = refused ]; then
    [[ $status = 1 && $out == "error 2:"* ]] || problem "g/$name: expected error 2, got '$out'"
    continue
  fi
  [ $status = 0 ] || { problem "g/$name: $out"; continue; }
  /usr/bin/python3 "$here/bmp_compare.py" rgb "$work/$name.bmp" "$suite/html/$ref" "$tol" || problem "g/$name"
done <<'LIST'
pal1 pal1.png 0
pal1wb pal1.png 0
pal1bg pal1bg.png 0
pal4 pal4.png 0
pal4rle refused
pal8 pal8.png 1
pal8-0 pal8.png 1
pal8rle refused
pal8topdown refused
pal8os2 pal8.png 1
pal8v4 pal8.png 1
pal8v5 pal8.png 1
pal8nonsquare pal8nonsquare-e.png 1
pal8w124 pal8w124.png 1
pal8w125 pal8w125.png 1
pal8w126 pal8w126.png 1
rgb16 rgb16.png 1
rgb16-565 rgb16-565.png 1
rgb16-565pal rgb16-565.png 1
rgb24 rgb24.png 0
rgb24pal rgb24.png 0
rgb32 rgb24.png 0
rgb32bf rgb24.png 0
LIST

for name in badbitcount badpalettesize badwidth reallybig shortfile; do
  status=0
  out=$(decode "$suite/b/$name.bmp" "$work/out.bmp") || status=$?
  [[ $status = 1 && $out == "error "* ]] || problem "b/$name: expected a codec error, got '$out' ($status)"
done
for name in badbitssize baddens1 baddens2; do
  decode "$suite/b/$name.bmp" "$work/out.bmp" >/dev/null || problem "b/$name: not decoded"
done

# Nothing may crash: exit 0 (decoded) or 1 (refused), and no sanitizer report.
for f in "$suite"/b/*.bmp "$suite"/q/*.bmp; do
  status=0
  decode "$f" "$work/out.bmp" >/dev/null 2>"$work/stderr" || status=$?
  if [ $status -gt 1 ] || grep -qE "Sanitizer|runtime error" "$work/stderr"; then
    problem "$(basename "$(dirname "$f")")/$(basename "$f"): status $status"
    head -5 "$work/stderr"
  fi
done

[ $failures = 0 ] || { echo "$failures failures"; exit 1; }
echo "BMP suite: all checks passed"
