#!/usr/bin/env bash
# Fails when a C++ source differs from the project's .clang-format; lists the files that do.
# Build folders (any folder with a CMakeCache.txt) are skipped. CTest runs it as the test
# check_format. Fix with: clang-format -i --style=file FILE...
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed" >&2; exit 2; }
bad=()
while IFS= read -r -d '' file; do
  clang-format --dry-run -Werror --style=file "$file" >/dev/null 2>&1 || bad+=("$file")
done < <(find . \( -path ./.git -o -type d -exec test -e '{}/CMakeCache.txt' \; \) -prune -o \
  -type f \( -name '*.cpp' -o -name '*.h' \) -print0)
if [ "${#bad[@]}" -gt 0 ]; then
  printf '%s\n' "${bad[@]#./}"
  echo "check-format: ${#bad[@]} file(s) differ from .clang-format" >&2
  exit 1
fi
echo "check-format: every source follows .clang-format"
