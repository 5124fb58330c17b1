#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine and cross-builds
# libjpeg-turbo for the Windows target. Idempotent: prints nothing when all is present.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
deps=${PX_DEPS_DIR:-$top/build/deps}
mkdir -p "$deps"

packages=(
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  libz-mingw-w64-dev nasm wine wine32:i386 xvfb xauth x11-apps fonts-ipafont-gothic locales
  cmake ninja-build googletest libjpeg62-turbo-dev zlib1g-dev clang libclang-rt-14-dev
  imagemagick ccache dpkg-dev clang-format
  libjpeg-turbo-progs pngcheck python3-pil libimage-exiftool-perl libtiff-tools
  giflib-tools gifsicle
  libbenchmark-dev libvips-tools
  openbox xdotool
)

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

log() { echo "setup: $*" >&2; }

updated=0
apt_update() {
  if [ $updated = 0 ]; then
    sudo_ apt-get update -qq >/dev/null
    updated=1
  fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  log "enabling the i386 architecture"
  sudo_ dpkg --add-architecture i386
  updated=0
  apt_update
fi

# Source entries mirror the machine's own binary entry for the main archive, so no archive
# host is ever written down here.
src_list=/etc/apt/sources.list.d/project-src.sources
if [ ! -f "$src_list" ]; then
  stanza=""
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    stanza=$(awk 'BEGIN{RS="";FS="\n"} /Types:[^\n]*deb/ && !/security/ {print; exit}' \
      /etc/apt/sources.list.d/debian.sources)
  fi
  if [ -n "$stanza" ]; then
    log "adding source entries for the main archive"
    printf '%s\n' "$stanza" | sed -e 's/^Types:.*/Types: deb-src/' | sudo_ tee "$src_list" >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    log "adding source entries for the main archive"
    grep -E '^deb ' /etc/apt/sources.list | grep -v security | head -n 1 |
      sed 's/^deb /deb-src /' | sudo_ tee "${src_list%.sources}.list" >/dev/null
    sudo_ touch "$src_list"
  fi
  updated=0
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  apt_update
  DEBIAN_FRONTEND=noninteractive sudo_ apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  log "generating the ja_JP.UTF-8 locale"
  sudo_ sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | sudo_ tee -a /etc/locale.gen >/dev/null
  sudo_ locale-gen >/dev/null
fi

# libjpeg-turbo for the Windows target, built from Debian's source package of the same
# version as the native library, so both trees decode identically.
ver=$(dpkg-query -W -f='${source:Version}' libjpeg62-turbo-dev | sed 's/^[0-9]*://')
build_jpeg() {  # toolchain-name install-prefix
  local toolchain=$1 prefix=$2
  [ -f "$prefix/lib/libjpeg.a" ] && return 0
  log "cross-building libjpeg-turbo $ver for $toolchain"
  local work=$deps/src-$toolchain
  rm -rf "$work"
  mkdir -p "$work"
  apt_update
  (cd "$work" && apt-get source --download-only -qq "libjpeg-turbo=1:$ver" >/dev/null 2>&1 ||
    apt-get source --download-only -qq libjpeg-turbo >/dev/null)
  local tarball srcdir
  tarball=$(ls "$work"/libjpeg-turbo_*.orig.tar.gz | head -n 1)
  tar -C "$work" -xzf "$tarball"
  srcdir=$(find "$work" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
  cmake -S "$srcdir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$top/cmake/$toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF \
    -DCMAKE_INSTALL_PREFIX="$prefix" >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log" >&2; exit 1; }
  cmake --build "$work/build" --target jpeg-static >"$work/build.log" 2>&1 ||
    { tail -n 50 "$work/build.log" >&2; exit 1; }
  mkdir -p "$prefix/lib" "$prefix/include"
  cp "$work/build/libjpeg.a" "$prefix/lib/libjpeg.a"
  cp "$srcdir/jpeglib.h" "$srcdir/jerror.h" "$srcdir/jmorecfg.h" "$work/build/jconfig.h" \
    "$prefix/include/"
  rm -rf "$work"
}
jpeg_prefix=$deps/libjpeg-turbo-$ver
build_jpeg mingw-i686 "$jpeg_prefix"
ln -sfn "$jpeg_prefix" "$deps/libjpeg-turbo"

# Without 32-bit program support (a kernel booted without its 32-bit emulation) the Windows
# tests run in a 64-bit build of the same sources under 64-bit Wine.
if ! "$top/scripts/can-run-32bit.sh"; then
  extra=()
  for p in wine64 gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || extra+=("$p")
  done
  if [ ${#extra[@]} -gt 0 ]; then
    log "installing ${extra[*]} for the 64-bit Windows test build"
    apt_update
    DEBIAN_FRONTEND=noninteractive sudo_ apt-get install -y -qq --no-install-recommends \
      "${extra[@]}" >/dev/null
  fi
  build_jpeg mingw-x86_64 "$deps/libjpeg-turbo-$ver-x86_64"
  ln -sfn "$deps/libjpeg-turbo-$ver-x86_64" "$deps/libjpeg-turbo-x86_64"
fi
