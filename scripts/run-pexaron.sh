#!/usr/bin/env bash
# Starts Pexaron.exe under Wine. With no display it runs on a private Xvfb with the openbox
# window manager (as on a user's desktop: captions, framed popups placed by the manager),
# saves a screenshot into the build folder, then ends the program.
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
# Given no path, the program opens a folder of generated photos in its first view.
if [ $# -eq 0 ]; then
  sample="$PX_BUILD_DIR/sample-photos"
  if [ ! -f "$sample/photo24.jpg" ]; then
    mkdir -p "$sample"
    for i in $(seq -w 1 24); do
      convert -seed "$i" -size 1200x900 plasma: -blur 0x1 -quality 88 "$sample/photo$i.jpg"
    done
  fi
  # Drive Z: is the root of the file system in every Wine prefix. (Asking winepath would
  # start the Wine server before the display is set, with nowhere to show the windows.)
  set -- "Z:${sample//\//\\}"
fi
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$exe" "$@"
fi
. "$top/scripts/xvfb-start.sh"
start_xvfb
# The manager runs the start-up command once it manages the screen.
wm_ready=$(mktemp -u)
openbox --sm-disable --startup "touch $wm_ready" </dev/null >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
  [ -e "$wm_ready" ] && break
  kill -0 $wm_pid 2>/dev/null || break
  sleep 0.1
done
if [ ! -e "$wm_ready" ]; then
  echo "run-pexaron: openbox did not start; the screenshot shows no window manager" >&2
fi
rm -f "$wm_ready"
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
kill $wm_pid 2>/dev/null || true
wait $wm_pid 2>/dev/null || true
kill "$xvfb_pid" 2>/dev/null || true
echo "screenshot: $shot"
