# Sourced: the environment of the project's own Wine prefix.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export PX_BUILD_DIR=${PX_BUILD_DIR:-$top/build}
export WINEPREFIX=${PX_WINEPREFIX:-$PX_BUILD_DIR/wineprefix}
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree=;mshtml="
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
unset WINELOADER WINESERVER
