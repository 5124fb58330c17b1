#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix, on Xvfb when no display is set.
# Used by CTest as the cross-compiling emulator. The prefix follows the program's own
# architecture, so the 64-bit test build runs in the 64-bit prefix.
#
# With PX_TEST_AREA set (the tests of an area that opens windows), the program gets a desktop
# of its own: the area's own prefix, hence its own Wine server, on its own Xvfb display, so
# that areas run side by side without taking the activation from each other's windows. The
# server and the display end with the program.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -f "${1:-}" ]; then
  PX_WINE_ARCH=$("$here/pe-arch.sh" "$1")
  export PX_WINE_ARCH
fi
. "$here/wine-env.sh"
"$here/wine-prefix.sh"
if [ -z "${PX_TEST_AREA:-}" ] && [ -n "${DISPLAY:-}" ]; then
  exec wine "$@"
fi
. "$here/xvfb-start.sh"
start_xvfb
own_server=
cleanup() {
  if [ -n "$own_server" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  if [ -n "$own_server" ]; then rm -f "$WINEPREFIX.xvfb-pid"; fi
}
trap cleanup EXIT
trap 'exit 143' TERM INT
if [ -n "${PX_TEST_AREA:-}" ]; then
  own_server=1
  # Left behind when this script is killed outright (a CTest time-out): scripts/run-tests.sh
  # ends it.
  echo "$xvfb_pid" >"$WINEPREFIX.xvfb-pid"
  # A server left from a killed run of this area would show its windows on a display that is
  # gone.
  wineserver -k >/dev/null 2>&1 || true
  # Wine's background services start with the first program; started here, detached from the
  # caller's pipes, they cannot hold CTest's output open after the test ends.
  wineserver -p 30 </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi
status=0
wine "$@" || status=$?
exit $status
