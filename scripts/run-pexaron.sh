#!/usr/bin/env bash
# Starts Pexaron.exe under Wine. With no display it runs on Xvfb and saves a screenshot
# into the build folder, then ends the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/wine-env.sh"
"$top/scripts/wine-prefix.sh"
exe="$PX_BUILD_DIR/win32/bin/Pexaron.exe"
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe" "$@"
fi
shot="$PX_BUILD_DIR/pexaron-screenshot.png"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wine "$1" "${@:3}" &
  pid=$!
  for _ in $(seq 40); do sleep 0.5; kill -0 $pid 2>/dev/null || break; done
  sleep 3
  /usr/bin/import -window root "$2"
  wineserver -k >/dev/null 2>&1 || true
  wait $pid 2>/dev/null || true
' _ "$exe" "$shot" "$@"
echo "screenshot: $shot"
