#!/usr/bin/env bash
# Our GIF reader and writer against references nobody here wrote: giflib's pictures with
# their .rgb renderings; animations from giflib, ImageMagick and gifsicle (interlaced, local
# tables, transparency, disposal to background and to previous, more than 256 frames), whose
# first frames must equal Pillow's, whose frame counts, delays, disposals and loop counts must
# equal gifsicle --info and whose composed frames must equal gifsicle --unoptimize decoded by
# Pillow; and files we write, which Pillow and giflib's gif2rgb must decode to exactly our
# indices and palette, large noise images (clear codes) included.
# usage: gif_reference.sh CODECTOOL BUILD_DIR   (PX_EMULATOR runs a Windows codectool)
set -euo pipefail
tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
suite=$("$top/scripts/fetch-suite.sh" giflib)
(cd "$suite" && sha256sum --quiet -c "$here/gif_suite.sha256")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$here/codectool_common.bash"
compare() { /usr/bin/python3 "$here/gif_compare.py" "$@"; }

# giflib's single-image pictures. The reader normally shows the transparent entry in the
# background colour; the renderings keep the table's colour.
for stem in gifgrid porsche solid2 treescap treescap-interlaced x-trans; do
  src=$suite/pic/$stem.gif
  out=$(codectool decode "$(tool_path "$src")" -o "$(tool_path "$work/$stem.bmp")" --replace-transparent 0) ||
    { problem "$stem: $out"; continue; }
  compare rgb "$work/$stem.bmp" "$suite/tests/$stem.rgb" || problem "$stem rendering"
  compare first "$work/$stem.bmp" "$src" || problem "$stem against Pillow"
done

# Animations made by other programs.
cd "$work"
im=/usr/bin/convert
$im -size 40x30 gradient:red-yellow -delay 10 -dispose Background \( -size 20x10 xc:blue -repage +5+5 \) \
  \( -size 10x10 xc:green -repage +20+10 \) -loop 3 im_background.gif
$im -size 40x30 -seed 1 plasma:fractal -colors 100 -delay 7 -dispose Previous \( -size 20x10 xc:blue -repage +5+5 \) \
  \( -size 10x12 gradient:white-black -repage +25+10 \) -loop 0 im_previous.gif
$im -size 33x21 xc:white -delay 5 -dispose None \
  \( -size 20x20 xc:none -fill blue -draw 'circle 10,10 10,3' -repage +3+1 \) \
  \( -size 17x13 xc:none -fill red -draw 'rectangle 2,2 9,9' -repage +15+6 \) -loop 0 im_transparent.gif
$im -size 37x29 gradient:blue-green -interlace GIF -delay 20 \( -size 37x29 gradient:red-black \) -loop 0 im_interlaced.gif
for i in 1 2 3; do $im -size 25x19 -seed $i plasma:fractal -colors $((20 * i)) part$i.gif; done
gifsicle --loopcount=2 --delay 7 --disposal previous part1.gif --disposal background part2.gif \
  --disposal none part3.gif >gs_local_tables.gif 2>/dev/null
$im -size 48x40 gradient:red-blue -delay 4 -dispose None \( +clone -fill white -draw 'circle 24,20 24,10' \) \
  \( +clone -fill black -draw 'rectangle 5,5 15,15' \) -loop 0 im_full.gif
gifsicle -O3 im_full.gif >gs_optimized.gif
frames=()
for i in $(seq 1 130); do frames+=(xc:red xc:blue); done
$im -size 3x2 -delay 2 "${frames[@]}" -loop 0 im_260.gif

for src in "$suite/pic/fire.gif" "$suite/pic/welcome2.gif" im_background.gif im_previous.gif im_transparent.gif \
  im_interlaced.gif gs_local_tables.gif gs_optimized.gif im_260.gif; do
  [[ $src == /* ]] || src=$work/$src
  stem=$(basename "$src" .gif)
  codectool decode "$(tool_path "$src")" -o "$(tool_path "$work/$stem.bmp")" --all-frames >"$stem.txt" ||
    { problem "$stem: $(cat "$stem.txt")"; continue; }
  compare info "$stem.txt" "$src" || problem "$stem frames"
  compare first "$work/$stem.bmp" "$src" || problem "$stem first frame"
  # gifsicle unoptimizes only files with one palette; a trivial reduction to 255 colours keeps
  # every colour and makes one.
  if gifsicle --colors=255 "$src" 2>&1 >/dev/null | grep -q trivial; then
    gifsicle --colors=255 "$src" 2>/dev/null | gifsicle --unoptimize >"$stem-u.gif" 2>/dev/null
  else
    gifsicle --unoptimize "$src" >"$stem-u.gif" 2>/dev/null
  fi
  count=$(head -n 1 "$stem.txt" | cut -d' ' -f2)
  compare composed "$work/$stem.bmp" "$stem-u.gif" "$count" || problem "$stem composed frames"
done

# Files we write.
$im -size 61x47 -seed 4 plasma:fractal -type truecolor BMP3:photo.bmp
$im -size 33x25 -seed 5 plasma:fractal -colors 50 -type palette -compress none BMP3:indexed.bmp
/usr/bin/python3 - <<'PY'
import random
from PIL import Image
random.seed(9)
im = Image.new("P", (300, 301))
im.putdata([random.randrange(256) for _ in range(300 * 301)])
im.putpalette([random.randrange(256) for _ in range(768)])
im.save("noise.bmp")
PY
check_written() {  # GIF DUMP: Pillow's and giflib's decodes equal ours
  local gif=$1 dump=$2
  compare written "$gif" "$dump" || problem "$(basename "$gif") in Pillow"
  gif2rgb -1 -o "$gif.rgb" "$gif" >/dev/null 2>&1 || { problem "$(basename "$gif"): gif2rgb failed"; return; }
  compare rgb "$dump" "$gif.rgb" || problem "$(basename "$gif") in giflib"
}
for src in photo indexed; do
  for bits in 1 2 4 8; do
    for variant in plain interlace transparent; do
      extra=()
      [ $variant = interlace ] && extra=(--interlace)
      [ $variant = transparent ] && extra=(--transparent 0000FF)
      out=$work/$src-$bits-$variant.gif
      status=0
      msg=$(codectool encode "$(tool_path "$work/$src.bmp")" -o "$(tool_path "$out")" --format gif --bits $bits \
        "${extra[@]}") || status=$?
      [ $status = 0 ] || { problem "encode $src $bits $variant: $msg"; continue; }
      msg=$(codectool decode "$(tool_path "$out")" -o "$(tool_path "$out.bmp")" --replace-transparent 0) ||
        { problem "decode $src $bits $variant: $msg"; continue; }
      check_written "$out" "$out.bmp"
    done
  done
done
# The noise needs many clear codes; its own indices and palette are written unreduced.
for variant in plain interlace; do
  extra=(--indexed 1)
  [ $variant = interlace ] && extra+=(--interlace)
  out=$work/noise-$variant.gif
  msg=$(codectool encode "$(tool_path "$work/noise.bmp")" -o "$(tool_path "$out")" --format gif --bits 8 "${extra[@]}") ||
    { problem "encode noise: $msg"; continue; }
  check_written "$out" "$work/noise.bmp"
done
finish
