#!/usr/bin/env bash
# Starts Pexaron.exe under Wine. With no display it runs on a private Xvfb, saves a
# screenshot into the build folder, then ends the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tree=win32
# A machine that runs no 32-bit programs shows the 64-bit build of the same sources.
if ! "$top/scripts/can-run-32bit.sh"; then
  tree=win64
  make -C "$top" --no-print-directory BUILD="$PX_BUILD_DIR" win64
  export PX_WINE_ARCH=win64
fi
. "$top/scripts/wine-env.sh"
"$top/scripts/wine-prefix.sh"
exe="$PX_BUILD_DIR/$tree/bin/Pexaron.exe"
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe" "$@"
fi
. "$top/scripts/xvfb-start.sh"
start_xvfb
shot="$PX_BUILD_DIR/pexaron-screenshot.png"
wine "$exe" "$@" </dev/null >/dev/null 2>&1 &
pid=$!
# Give the program time to start and paint; stop early if it exits.
for _ in $(seq 16); do
  sleep 0.5
  kill -0 $pid 2>/dev/null || break
done
sleep 2
/usr/bin/import -window root "$shot"
wineserver -k >/dev/null 2>&1 || true
wait $pid 2>/dev/null || true
kill "$xvfb_pid" 2>/dev/null || true
echo "screenshot: $shot"
