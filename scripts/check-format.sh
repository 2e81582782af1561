#!/usr/bin/env bash
# Checks that every C++ file of the tree is formatted as .clang-format says (folders with a
# .clang-format of their own that disables formatting, the generated ones, are left alone).
# Prints the files that are not and how to mend them, and fails when there is one.
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    format them in place
set -uo pipefail
cd "$(dirname "$0")/.."

format=$(command -v clang-format-14 || command -v clang-format) || {
  echo "format: clang-format is not installed (scripts/deps.sh installs it)"
  exit 1
}
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 "$format" -i
  exit 0
fi

bad=()
for file in "${files[@]}"; do
  "$format" --dry-run --Werror "$file" >/dev/null 2>&1 || bad+=("$file")
done
if ((${#bad[@]})); then
  printf 'not formatted: %s\n' "${bad[@]}"
  echo "format: ${#bad[@]} file(s) differ from .clang-format; scripts/check-format.sh --fix mends them"
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format says"
