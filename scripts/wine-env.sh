# Sourced: the environment of the project's own Wine prefix. PX_WINE_ARCH=win64 selects the
# 64-bit prefix used where the machine cannot run 32-bit programs (scripts/can-run-32bit.sh).
# PX_TEST_AREA names a test area that gets a prefix of its own (a copy of the shared one, made
# by scripts/wine-prefix.sh), so that its Wine server and desktop are its alone.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export PX_BUILD_DIR=${PX_BUILD_DIR:-$top/build}
if [ "${PX_WINE_ARCH:-win32}" = win64 ]; then
  export PX_WINE_TEMPLATE=${PX_WINEPREFIX64:-$PX_BUILD_DIR/wineprefix64}
  export WINEARCH=win64
  export WINELOADER=/usr/lib/wine/wine64
  case ":$PATH:" in *":$top/scripts/wine64:"*) ;; *) export PATH="$top/scripts/wine64:$PATH" ;; esac
else
  export PX_WINE_TEMPLATE=${PX_WINEPREFIX:-$PX_BUILD_DIR/wineprefix}
  export WINEARCH=win32
  unset WINELOADER
fi
if [ -n "${PX_TEST_AREA:-}" ]; then
  export WINEPREFIX=$PX_WINE_TEMPLATE-areas/$PX_TEST_AREA
else
  export WINEPREFIX=$PX_WINE_TEMPLATE
fi
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree=;mshtml="
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
unset WINESERVER
