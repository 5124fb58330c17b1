# Sourced by the BMP reference scripts: runs codectool natively or through PX_EMULATOR,
# with Windows paths for a Windows build.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:exitcode=86}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:exitcode=86}

tool_path() {
  if [ -n "${PX_EMULATOR:-}" ]; then echo "Z:$1"; else echo "$1"; fi
}

codectool() {
  if [ -n "${PX_EMULATOR:-}" ]; then
    "$PX_EMULATOR" "$tool" "$@" | tr -d '\r'
    return "${PIPESTATUS[0]}"
  fi
  "$tool" "$@"
}

# decode IN OUT: prints codectool's line, returns its status.
decode() {
  codectool decode "$(tool_path "$1")" -o "$(tool_path "$2")"
}

# encode IN OUT BITS [DITHER]
encode() {
  codectool encode "$(tool_path "$1")" -o "$(tool_path "$2")" --format bmp --bits "$3" --dither "${4:-0}"
}
