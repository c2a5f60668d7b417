#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted as .clang-format says, with
# clang-format 14 (another version may format some constructs differently).
# Names each file that differs and fails; changes nothing.
#
#   tools/check-format.sh            check
#   CLANG_FORMAT=/path/to/clang-format-14 tools/check-format.sh
#
# To format a file: clang-format-14 -i FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

cf="${CLANG_FORMAT:-}"
if [ -z "$cf" ]; then
  for c in clang-format-14 clang-format; do
    if command -v "$c" >/dev/null 2>&1; then
      cf="$c"
      break
    fi
  done
fi
if [ -z "$cf" ]; then
  echo "tools/check-format.sh: clang-format 14 not found (Debian package" \
       "clang-format-14)" >&2
  exit 2
fi
version="$("$cf" --version)"
case "$version" in
  *"version 14."*) ;;
  *)
    echo "tools/check-format.sh: $cf is not clang-format 14: $version" >&2
    exit 2
    ;;
esac

differ=()
checked=0
while IFS= read -r -d '' file; do
  checked=$((checked + 1))
  if ! "$cf" --style=file "$file" | cmp -s - "$file"; then
    differ+=("$file")
  fi
done < <(git ls-files -z -- '*.cpp' '*.h' '*.hpp' '*.cc')

if [ "${#differ[@]}" -gt 0 ]; then
  echo "tools/check-format.sh: ${#differ[@]} of $checked C++ files are not" \
       "formatted as .clang-format says (clang-format-14 -i FILE):" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "tools/check-format.sh: all $checked C++ files formatted"
