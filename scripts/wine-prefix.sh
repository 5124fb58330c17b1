#!/usr/bin/env bash
# Creates the project's Wine prefix once: Japanese locale, the UI face "MS UI Gothic"
# substituted by the installed IPA Gothic font, no add-on installers. A test area's own prefix
# (PX_TEST_AREA) is a copy of it, made once: copying takes a second where a boot takes many.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
area_prefix=$WINEPREFIX
template=$PX_WINE_TEMPLATE
mkdir -p "$(dirname "$template")"
(
  exec 9>"$template.lock"
  flock 9
  [ -f "$template/.px-ready" ] && exit 0
  export WINEPREFIX=$template
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
  for face in "MS UI Gothic" "MS Gothic" "MS PGothic" "ＭＳ ゴシック" "ＭＳ Ｐゴシック"; do
    wine reg add "$key" /v "$face" /d "IPAGothic" /f >/dev/null 2>&1
  done
  wineserver -w
  touch "$WINEPREFIX/.px-ready"
)
[ "$area_prefix" = "$template" ] && exit 0
mkdir -p "$(dirname "$area_prefix")"
exec 9>"$area_prefix.lock"
flock 9
[ -f "$area_prefix/.px-ready" ] && exit 0
# The template's registry is complete on disk once it is ready (its server saved it); a copy
# made under another name first and then renamed is never seen half made.
rm -rf "$area_prefix" "$area_prefix.new"
cp -a "$template" "$area_prefix.new"
mv "$area_prefix.new" "$area_prefix"
