# Sourced by the BMP reference scripts: runs codectool natively or through PX_EMULATOR,
# with Windows paths for a Windows build.
. "$(dirname "${BASH_SOURCE[0]}")/codectool_common.bash"

# decode IN OUT: prints codectool's line, returns its status.
decode() {
  codectool decode "$(tool_path "$1")" -o "$(tool_path "$2")"
}

# encode IN OUT BITS [DITHER]
encode() {
  codectool encode "$(tool_path "$1")" -o "$(tool_path "$2")" --format bmp --bits "$3" --dither "${4:-0}"
}
