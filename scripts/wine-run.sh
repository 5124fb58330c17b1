#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix, on Xvfb when no display is set.
# Used by CTest as the cross-compiling emulator. The prefix follows the program's own
# architecture, so the 64-bit test build runs in the 64-bit prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -f "${1:-}" ]; then
  PX_WINE_ARCH=$("$here/pe-arch.sh" "$1")
  export PX_WINE_ARCH
fi
. "$here/wine-env.sh"
"$here/wine-prefix.sh"
if [ -n "${DISPLAY:-}" ]; then
  exec wine "$@"
fi
. "$here/xvfb-start.sh"
start_xvfb
status=0
wine "$@" || status=$?
kill "$xvfb_pid" 2>/dev/null || true
exit $status
