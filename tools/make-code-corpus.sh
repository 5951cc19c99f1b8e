#!/bin/sh
# Writes the corpus of code pictures the tests read (tests/support/CodeCorpus):
# every format zint draws that the code-format menu names, and Micro QR, each
# upright, turned by 90, 180 and 270 degrees, skewed by 20 degrees, off the
# middle of a 1920x1080 picture, with small modules (1 pixel for barcodes, 2
# for matrix codes) and on a photo-like JPEG scene. With --count it then reads
# the folder with lantrix-scan, the decode options off and on, and prints per
# format how many of its pictures were read with the right text.
#
#   tools/make-code-corpus.sh [--count] FOLDER [BUILD FOLDER]
#
# Needs zint (tools/install-packages.sh test) and a build with the benchmarks
# (build/bench/make_code_corpus, build/bin/lantrix-scan).
set -eu
count=no
[ "${1:-}" = --count ] && { count=yes; shift; }
[ $# -ge 1 ] || { echo "usage: $0 [--count] FOLDER [BUILD FOLDER]" >&2; exit 64; }
here=$(cd "$(dirname "$0")/.." && pwd)
folder=$1
build=$(cd "${2:-$here/build}" && pwd)
QT_QPA_PLATFORM=offscreen "$build/bench/make_code_corpus" "$folder" >/dev/null
[ "$count" = yes ] || exit 0

cd "$folder"
files=$(cut -f1 expected.tsv)
# Prints "FILE<TAB>TEXT" for each picture read.
read_with() {
  # shellcheck disable=SC2086
  "$build/bin/lantrix-scan" "$@" $files 2>/dev/null | sed 's/: /\t/' || true
}
read_with > off.tsv
read_with --every-format > every.tsv
read_with --try-harder > harder.tsv
read_with --every-format --try-harder > both.tsv
# A picture counts as read when its text is the expected one, or that with
# add-on digits after a space.
awk -F'\t' '
  FILENAME == "expected.tsv" { fmt = $1; sub(/_(upright|turned90|turned180|turned270|skewed|off_centre|small_modules|photo)\.png$/, "", fmt)
                               format[$1] = fmt; text[$1] = $2; total[fmt]++; if (!(fmt in seen)) { seen[fmt] = 1; order[++n] = fmt }; next }
  ($1 in text) && ($2 == text[$1] || index($2, text[$1] " ") == 1) { read[FILENAME, format[$1]]++ }
  END {
    printf "%-15s %5s %5s %7s %7s %5s\n", "format", "total", "off", "every", "harder", "both"
    for (i = 1; i <= n; i++) {
      f = order[i]
      printf "%-15s %5d %5d %7d %7d %5d\n", f, total[f], read["off.tsv", f], read["every.tsv", f], read["harder.tsv", f], read["both.tsv", f]
      t += total[f]; o += read["off.tsv", f]; e += read["every.tsv", f]; h += read["harder.tsv", f]; b += read["both.tsv", f]
    }
    printf "%-15s %5d %5d %7d %7d %5d\n", "all", t, o, e, h, b
  }' expected.tsv off.tsv every.tsv harder.tsv both.tsv
