#!/usr/bin/env bash
# PngSuite: every valid file decodes to the expected pixels (Pillow's samples reduced by the
# reader's rules), each interlaced file equals its non-interlaced twin, and every corrupt file
# is refused with its code. Then libpng's test images and crashers decode or fail cleanly.
# usage: png_suite.sh CODECTOOL BUILD_DIR
set -uo pipefail
tool=$1
build=$2
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
run() { ${PX_EMULATOR:+"$PX_EMULATOR"} "$tool" "$@"; }
# Decodes run a few at a time: under Wine each start of the tool costs far more than its work.
jobs=4
throttle() { while [ "$(jobs -rp | wc -l)" -ge $jobs ]; do wait -n; done; }

suite=$("$top/scripts/fetch-suite.sh" libspng)/tests/images
out=$build/png_suite
rm -rf "$out"
mkdir -p "$out"
for f in "$suite"/*.png; do
  stem=$(basename "$f" .png)
  throttle
  run decode "$f" -o "$out/$stem.bmp" >"$out/$stem.status" 2>&1 &
  case $stem in
    g*) throttle; run decode "$f" -o "$out/$stem.g.bmp" --display-gamma 2200 >/dev/null 2>&1 & ;;
  esac
  # A display gamma far from the files' own, so that the correction moves the keyed samples.
  case $stem in
    t*) throttle; run decode "$f" -o "$out/$stem.k.bmp" --display-gamma 1000 >/dev/null 2>&1 & ;;
  esac
  case $stem in
    t*|*a08|*a16) throttle; run decode "$f" -o "$out/$stem.n.bmp" --no-transparency >/dev/null 2>&1 & ;;
  esac
done
wait
/usr/bin/python3 "$here/png_suite_check.py" "$suite" "$out" || exit 1

# Colour keys under gamma correction: PngSuite's keys are white, which no correction moves.
mkdir -p "$out/keyed"
/usr/bin/python3 "$here/png_key_check.py" make "$out/keyed" || exit 1
for f in "$out"/keyed/*.png; do
  throttle
  run decode "$f" -o "${f%.png}.bmp" --display-gamma 1000 --ignore-bkgd --background 1,254,3 >/dev/null 2>&1 &
done
wait
/usr/bin/python3 "$here/png_key_check.py" check "$out/keyed" || exit 1

# libpng's images: any outcome but a crash (status 0 or 1 with its line) is clean.
libpng=$("$top/scripts/fetch-suite.sh" libpng1.6)/contrib/testpngs
mkdir -p "$out/libpng"
count=0
for f in "$libpng"/*.png "$libpng"/crashers/*.png; do
  count=$((count + 1))
  throttle
  (
    line=$(run decode "$f" -o "$out/libpng/$count.bmp" 2>&1)
    echo "$? $line" >"$out/libpng/$count.status"
    echo "$f" >>"$out/libpng/$count.status"
  ) &
done
wait
status=0
for s in "$out"/libpng/*.status; do
  rc=$(head -n 1 "$s" | cut -d' ' -f1)
  line=$(head -n 1 "$s" | cut -d' ' -f2-)
  if [ "$rc" -gt 1 ] || ! printf '%s\n' "$line" | grep -Eq '^([0-9]+x[0-9]+ (8|24)|error [0-9]+:)'; then
    echo "$(tail -n 1 "$s"): exit $rc: $line"
    status=1
  fi
done
echo "$count libpng test images decoded or refused cleanly"
exit $status
