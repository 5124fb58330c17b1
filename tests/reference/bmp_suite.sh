#!/usr/bin/env bash
# The public BMP suite (from Debian's pillow source package) against our reader: good files,
# run-length and top-down ones included, decode to the suite's reference PNGs; run-length
# files that skip pixels leave them at palette index 0, as one of the suite's references
# shows; run-length files cut short keep what they decoded; the named bad files are refused
# with a codec error or decode; no bad or questionable file crashes or, natively under the
# sanitizers, leaks.
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


# Every good file (g/) and the run-length files with skipped pixels (q/) with the reference
# they must match, within 1 where the reference rounds 16-bit channels or palette entries
# differently.
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
g/pal4rle pal4.png 0
g/pal8 pal8.png 1
g/pal8-0 pal8.png 1
g/pal8rle pal8.png 1
g/pal8topdown pal8.png 1
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
q/pal4rletrns pal4rletrns-0.png 0
q/pal8rletrns pal8rletrns-0.png 0
LIST

# Run-length files cut short (this suite has none of its own): what was decoded matches the
# reference, the rest stays index 0, and a longer cut never decodes less.
for spec in pal4rle:pal4.png:0 pal8rle:pal8.png:1; do
  IFS=: read -r name ref tol <<<"$spec"
  full=$(stat -c %s "$suite/g/$name.bmp")
  start=$(od -An -tu4 -j10 -N4 "$suite/g/$name.bmp" | tr -d ' ')  # offset of the pixel data
  previous=0
  for cut in $((start + 1)) $((start + (full - start) / 4)) $((start + (full - start) / 2)) $((full - 1)); do
    head -c "$cut" "$suite/g/$name.bmp" >"$work/cut.bmp"
    status=0
    out=$(decode "$work/cut.bmp" "$work/out.bmp") || status=$?
    [ $status = 0 ] || { problem "g/$name cut at $cut: $out"; continue; }
    matching=$(/usr/bin/python3 "$here/bmp_compare.py" partial "$work/out.bmp" "$suite/html/$ref" "$tol") ||
      { problem "g/$name cut at $cut: $matching"; continue; }
    [ "$matching" -ge "$previous" ] || problem "g/$name cut at $cut: $matching pixels decoded, fewer than $previous"
    previous=$matching
  done
  [ "$previous" -gt $((127 * 64 / 2)) ] || problem "g/$name cut by one byte: only $previous pixels decoded"
done

# Run-length data is bottom-up only.
status=0
out=$(decode "$suite/b/rletopdown.bmp" "$work/out.bmp") || status=$?
[[ $status = 1 && $out == "error 2:"* ]] || problem "b/rletopdown: expected error 2, got '$out'"

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
