#!/usr/bin/env bash
# Fails when a C or C++ file of the checkout differs from what the committed .clang-format
# makes of it, naming each such file and line.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top" || exit 2
format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null; then
  echo "check-format: $format is not installed (scripts/setup.sh installs it)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' '*.c' | grep -v '^build/')
[ ${#files[@]} -gt 0 ] || exit 0
out=$(printf '%s\0' "${files[@]}" | xargs -0 -n 64 -P "$(nproc)" "$format" --dry-run --Werror 2>&1)
if [ -n "$out" ]; then
  echo "$out" | grep -E '^[^ ].*: (error|warning):' | sed 's/ \[-Wclang-format-violations\]//'
  echo "check-format: the files above are not formatted; run clang-format -i on them" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
