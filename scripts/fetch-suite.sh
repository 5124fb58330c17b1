#!/usr/bin/env bash
# Fetches a Debian source package once and prints the folder it was extracted into, for the
# reference suites of the tests (PngSuite, the BMP suite, libjpeg-turbo's test images, ...).
# usage: fetch-suite.sh SOURCE-PACKAGE
set -euo pipefail
pkg=$1
top=$(cd "$(dirname "$0")/.." && pwd)
deps=${PX_DEPS_DIR:-$top/build/deps}
dest=$deps/suites/$pkg
mkdir -p "$deps/suites"
exec 9>"$dest.lock"
flock 9
if [ ! -f "$dest/.ready" ]; then
  rm -rf "$dest"
  mkdir -p "$dest/download"
  (cd "$dest/download" && apt-get source --download-only -qq "$pkg" >/dev/null 2>&1) || {
    if [ "$(id -u)" = 0 ]; then apt-get update -qq >/dev/null; else sudo apt-get update -qq >/dev/null; fi
    (cd "$dest/download" && apt-get source --download-only -qq "$pkg" >/dev/null)
  }
  for t in "$dest"/download/*.orig.tar.* "$dest"/download/*.debian.tar.*; do
    [ -f "$t" ] || continue
    case $t in *.asc) continue ;; esac  # detached signatures sit beside the tarballs
    tar -C "$dest" -xf "$t"
  done
  # Some packages ship extra upstream tarballs (orig-NAME.tar.*).
  for t in "$dest"/download/*.orig-*.tar.*; do
    [ -f "$t" ] || continue
    case $t in *.asc) continue ;; esac  # detached signatures sit beside the tarballs
    tar -C "$dest" -xf "$t"
  done
  touch "$dest/.ready"
fi
src=$(find "$dest" -mindepth 1 -maxdepth 1 -type d ! -name download ! -name debian | head -n 1)
echo "${src:-$dest}"
