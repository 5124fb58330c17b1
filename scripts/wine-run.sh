#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix, on Xvfb when no display is set.
# Used by CTest as the cross-compiling emulator.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
"$here/wine-prefix.sh"
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
exec wine "$@"
