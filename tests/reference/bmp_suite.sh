#!/usr/bin/env bash
# The public BMP suite (from Debian's pillow source package) against our reader: good files
# decode to the suite's reference PNGs, except the run-length and top-down ones, which are
# refused with error 2 like the bad files of unsupported sizes, depths and compressions;
# uncompressed files cut short load with their missing rows zero; no bad or questionable file
# crashes or, natively under the sanitizers, leaks.
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


# Every good file (g/) with the reference it must match, within 1 where the reference rounds
# 16-bit channels or palette entries differently.
while read -r name ref tol; do
  status=0
  out=$(decode "$suite/$name.bmp" "$work/out.bmp") || status=$?
  [ $status = 0 ] || { problem "$name: $out"; continue; }
  /usr/bin/python3 "$here/bmp_compare.py" rgb "$work/out.bmp" "$suite/html/$ref" "$tol" || problem "$name"
done <<'LIST'
g/pal1 pal1.png 0
g/pal1wb pal1.png 0
g/pal1bg pal1bg.png 0
g/pal4 pal4.png 0
g/pal8 pal8.png 1
g/pal8-0 pal8.png 1
g/pal8os2 pal8.png 1
g/pal8v4 pal8.png 1
g/pal8v5 pal8.png 1
g/pal8nonsquare pal8nonsquare-e.png 1
g/pal8w124 pal8w124.png 1
g/pal8w125 pal8w125.png 1
g/pal8w126 pal8w126.png 1
g/rgb16 rgb16.png 1
g/rgb16-565 rgb16-565.png 1
g/rgb16-565pal rgb16-565.png 1
g/rgb24 rgb24.png 0
g/rgb24pal rgb24.png 0
g/rgb32 rgb24.png 0
g/rgb32bf rgb24.png 0
LIST

# Run-length and top-down files, and the bad files of an unsupported size, depth, colour count
# or compression: error 2.
for name in g/pal4rle g/pal8rle g/pal8topdown q/pal4rletrns q/pal8rletrns b/rletopdown b/badrle \
  b/badbitcount b/badpalettesize b/badwidth b/reallybig; do
  status=0
  out=$(decode "$suite/$name.bmp" "$work/out.bmp") || status=$?
  [[ $status = 1 && $out == "error 2:"* ]] || problem "$name: expected error 2, got '$out' ($status)"
done
for name in badbitssize baddens1 baddens2 shortfile; do
  decode "$suite/b/$name.bmp" "$work/out.bmp" >/dev/null || problem "b/$name: not decoded"
done

# Uncompressed files cut short (b/shortfile is one, cut inside its rows): the rows the file
# holds match the reference, the rows past the cut are zero.
for entry in pal1:pal1.png:0 pal4:pal4.png:0 pal8:pal8.png:1 rgb16:rgb16.png:1 rgb24:rgb24.png:0 rgb32:rgb24.png:0; do
  IFS=: read -r name ref tol <<<"$entry"
  full=$(stat -c %s "$suite/g/$name.bmp")
  start=$(od -An -tu4 -j10 -N4 "$suite/g/$name.bmp" | tr -d ' ')  # offset of the pixel data
  for cut in "$start" $((start + 1)) $((start + (full - start) / 3)) $((full - 1)); do
    head -c "$cut" "$suite/g/$name.bmp" >"$work/cut.bmp"
    status=0
    out=$(decode "$work/cut.bmp" "$work/out.bmp") || status=$?
    [ $status = 0 ] || { problem "g/$name cut at $cut: $out"; continue; }
    /usr/bin/python3 "$here/bmp_compare.py" cut "$work/out.bmp" "$suite/html/$ref" "$tol" "$work/cut.bmp" ||
      problem "g/$name cut at $cut"
  done
done
status=0
out=$(decode "$suite/b/shortfile.bmp" "$work/out.bmp") || status=$?
[ $status = 0 ] && /usr/bin/python3 "$here/bmp_compare.py" cut "$work/out.bmp" "$suite/html/pal1.png" 0 \
  "$suite/b/shortfile.bmp" || problem "b/shortfile: '$out'"

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
