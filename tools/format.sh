#!/usr/bin/env bash
# Formats our C++ sources (the *.h and *.cpp files git tracks; generated tables such as *.inc are left
# alone) with .clang-format.
#
#   bash tools/format.sh            formats them in place
#   bash tools/format.sh --check    changes nothing; lists the files that differ and exits 1 when any does
#   bash tools/format.sh [--check] FILE...   only these files
#
# Needs clang-format 14 or later (CLANG_FORMAT names another binary).
set -euo pipefail
cd "$(dirname "$0")/.."
CLANG_FORMAT=${CLANG_FORMAT:-clang-format}

check=0
if [ "${1:-}" = --check ]; then
  check=1
  shift
fi
if ! command -v "$CLANG_FORMAT" >/dev/null; then
  echo "$CLANG_FORMAT is missing (Debian package clang-format)" >&2
  exit 2
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files -- '*.h' '*.cpp')
fi

if [ "$check" = 0 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -r "$CLANG_FORMAT" -i --style=file
  exit 0
fi

differ=0
for file in "${files[@]}"; do
  if ! "$CLANG_FORMAT" --style=file "$file" | cmp -s - "$file"; then
    echo "$file"
    differ=$((differ + 1))
  fi
done
if [ "$differ" -gt 0 ]; then
  echo "$differ of ${#files[@]} files are not formatted as .clang-format says (bash tools/format.sh formats them)" >&2
  exit 1
fi
echo "all ${#files[@]} files are formatted"
