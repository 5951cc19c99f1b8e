#!/bin/sh
# Formats the C++ sources by .clang-format, or with --check only reports the
# files that differ from it (exit 1) and changes nothing.
#
#   tools/format.sh          format every source file in place
#   tools/format.sh --check  list the files that are not formatted
set -eu
cd "$(dirname "$0")/.."

formatter=""
for candidate in clang-format-14 clang-format-19 clang-format; do
  if command -v "$candidate" >/dev/null 2>&1; then formatter=$candidate; break; fi
done
[ -n "$formatter" ] || { echo "$0: clang-format is not installed" >&2; exit 2; }

# Every .cpp and .h of the tree, build folders left out.
sources() {
  find . \( -path './build*' -o -path './.git' \) -prune -o \
         -type f \( -name '*.cpp' -o -name '*.h' \) -print | LC_ALL=C sort
}

if [ "${1:-}" = --check ]; then
  # One run over every file; each difference is reported as "FILE:LINE:COL: error: ...".
  report=$(sources | xargs "$formatter" --dry-run -Werror 2>&1) && exit 0
  echo "$report" | sed -n 's/^\(\.\/[^:]*\):[0-9]*:[0-9]*: error: .*/not formatted: \1 (tools\/format.sh formats it)/p' | sort -u
  exit 1
fi
sources | xargs "$formatter" -i
