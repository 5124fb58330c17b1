#!/usr/bin/env bash
# Creates the project's 32-bit Wine prefix once: Japanese locale, the UI face "MS UI Gothic"
# substituted by the installed IPA Gothic font, no add-on installers.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ -f "$WINEPREFIX/.px-ready" ]; then exit 0; fi
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
for face in "MS UI Gothic" "MS Gothic" "MS PGothic" "ＭＳ ゴシック" "ＭＳ Ｐゴシック"; do
  wine reg add "$key" /v "$face" /d "IPAGothic" /f >/dev/null 2>&1
done
wineserver -w
touch "$WINEPREFIX/.px-ready"
