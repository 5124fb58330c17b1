# Sourced by the reference scripts: runs codectool natively or through PX_EMULATOR (with
# Windows paths for a Windows build) and counts failures.
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

failures=0
problem() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

finish() {
  if [ "$failures" != 0 ]; then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "all passed"
}
