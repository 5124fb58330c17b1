#!/usr/bin/env bash
# Comments against rdjpgcom and Exif against exiftool -n. A comment rewrite changes nothing
# but the comment: jpegtran -copy none of the old and new files is byte-identical, and
# removing an added comment gives back the original file.
# usage: jpeg_comment_exif.sh CODECTOOL BUILD_DIR
set -uo pipefail
tool=$1
build=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
run() { ${PX_EMULATOR:+"$PX_EMULATOR"} "$tool" "$@"; }

ljt=$("$top/scripts/fetch-suite.sh" libjpeg-turbo)/testimages
go=$("$top/scripts/fetch-suite.sh" golang-1.19)/src/image/testdata
data=$top/tests/data/jpeg
out=$build/jpeg_comment_exif
rm -rf "$out"
mkdir -p "$out"
status=0

# rdjpgcom ends every comment with a newline; -raw keeps control bytes such as tabs.
ours_comment() { run comment get "$1" 2>/dev/null | tr -d '\r'; }
theirs_comment() { rdjpgcom -raw "$1" | tr -d '\r'; }

i=0
for f in "$ljt/testorig.jpg" "$go/video-001.q50.420.jpeg" "$go/video-005.gray.jpeg" "$data/exif_le.jpg"; do
  for text in "plain" "two
lines" "" "$(printf 'tab\there')"; do
    i=$((i + 1))
    work=$out/c$i.jpg
    cp "$f" "$work"
    line=$(run comment set "$work" "$text" 2>/dev/null | tr -d '\r')
    [ "$line" = "mode 1" ] || { echo "$(basename "$f") add: $line"; status=1; }
    if [ "$(ours_comment "$work")" != "$(theirs_comment "$work")" ]; then
      echo "$(basename "$f") '$text': comment differs from rdjpgcom"
      status=1
    fi
    if ! cmp -s <(jpegtran -copy none "$f") <(jpegtran -copy none "$work"); then
      echo "$(basename "$f") '$text': the rewrite changed more than the comment"
      status=1
    fi
    line=$(run comment set "$work" "replaced" 2>/dev/null | tr -d '\r')
    [ "$line" = "mode 0" ] || { echo "$(basename "$f") replace: $line"; status=1; }
    [ "$(theirs_comment "$work")" = "replaced" ] || { echo "$(basename "$f"): replace not seen by rdjpgcom"; status=1; }
    line=$(run comment set "$work" 2>/dev/null | tr -d '\r')
    [ "$line" = "mode -1" ] || { echo "$(basename "$f") remove: $line"; status=1; }
    cmp -s "$f" "$work" || { echo "$(basename "$f"): removing the comment did not restore the file"; status=1; }
  done
done

# Exif: both byte orders, ShutterSpeedValue and ApertureValue, against exiftool.
for f in "$data"/exif_*.jpg; do
  run exif "$f" 2>/dev/null | tr -d '\r' >"$out/ours.txt"
  exiftool -n -j "$f" >"$out/ref.json"
  if ! /usr/bin/python3 "$here/jpeg_exif_check.py" "$out/ours.txt" "$out/ref.json"; then
    echo "$(basename "$f"): Exif differs from exiftool"
    status=1
  fi
done
line=$(run exif "$ljt/testorig.jpg" 2>/dev/null | tr -d '\r')
[ "$line" = "no exif" ] || { echo "testorig.jpg exif: $line"; status=1; }
echo "$i comment rewrites and $(ls "$data"/exif_*.jpg | wc -l) Exif blocks compared"
exit $status
