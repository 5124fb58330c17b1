#!/usr/bin/env bash
# Builds the PNG decode benchmark optimised, without the sanitizers of the native test tree,
# and runs it. usage: bench/png_bench.sh [BUILD_DIR] [benchmark options]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build/bench-png}
shift || true
mkdir -p "$out"
cd "$top"
g++ -std=c++17 -O2 -I. bench/png_bench.cpp codecs/png_*.cpp codecs/codec_context.cpp codecs/codec_errors.cpp \
  codecs/conversion.cpp codecs/palette.cpp codecs/native/file_io_posix.cpp codecs/native/platform_glue.cpp \
  common/utf16.cpp kernels/lookup_tables.cpp -o "$out/png_bench" -lbenchmark -lbenchmark_main -lz -lpthread
"$out/png_bench" "$@"
