#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix, on Xvfb when no display is set.
# Used by CTest as the cross-compiling emulator.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
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
