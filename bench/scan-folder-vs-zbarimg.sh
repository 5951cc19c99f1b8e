#!/bin/sh
# A folder of mixed pictures scanned by one lantrix-scan process (with the
# decode options off, and all on) against one
# zbarimg process (Debian's zbar-tools) over the same files, side by side in
# one hyperfine run; then lantrix-scan's peak memory for one picture and for
# a thousand, and live scanning of 1280x720 test sources at 30 frames per
# second (frames handled against delivered).
#
# The folder is made on each run by build/bench/make_scan_folder: 120 small
# pictures (every code format the program reads, in PNG, JPEG, BMP, PGM,
# TIFF and PPM, with modules of 2 and 3 pixels) and five camera-sized JPEG
# photos (three of 1920x1080, two of 4000x3000).
#
#   bench/scan-folder-vs-zbarimg.sh [build folder]
#
# Needs hyperfine, zbar-tools and GNU time (tools/install-packages.sh test),
# and a build with the benchmarks (the default of ./build.sh test).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
scan=$build/bin/lantrix-scan
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

folder=$work/pictures
"$build/bench/make_scan_folder" "$folder" >/dev/null 2>&1
files=$(ls "$folder"/* | tr '\n' ' ')
count=$(ls "$folder" | wc -l)

hyperfine -N -i --warmup 1 --runs 5 --export-csv "$work/times.csv" \
  -n lantrix-scan "$scan $files" \
  -n lantrix-scan-all-options "$scan --inverted --every-format --try-harder $files" \
  -n zbarimg "zbarimg -q --nodbus $files" >/dev/null 2>&1
decoded_lantrix=$("$scan" $files 2>/dev/null | wc -l)
decoded_all=$("$scan" --inverted --every-format --try-harder $files 2>/dev/null | wc -l)
decoded_zbarimg=$(zbarimg -q --nodbus $files 2>/dev/null | wc -l)

echo "Scanning $count pictures in one process (median of 5 runs, $(nproc) cores):"
awk -F, -v dl="$decoded_lantrix" -v da="$decoded_all" -v dz="$decoded_zbarimg" '
  NR > 1 { median[$1] = $4 * 1000 }
  END {
    printf "  %-14s %10.0f ms  %4d codes read\n", "lantrix-scan", median["lantrix-scan"], dl
    printf "  %-14s %10.0f ms  %4d codes read (--inverted --every-format --try-harder)\n", "lantrix-scan", median["lantrix-scan-all-options"], da
    printf "  %-14s %10.0f ms  %4d codes read\n", "zbarimg", median["zbarimg"], dz
    printf "  lantrix-scan / zbarimg: %.2f, with all options %.2f\n", median["lantrix-scan"] / median["zbarimg"], median["lantrix-scan-all-options"] / median["zbarimg"]
  }' "$work/times.csv"

# Peak memory (maximum resident set) of whole runs.
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1; }
small=$folder/qr_code_m2.png
photo=$(ls "$folder"/photo*_4000x3000_* | head -n 1)
thousand=""
i=0
while [ $i -lt 8 ]; do thousand="$thousand $files"; i=$((i + 1)); done
echo "Peak memory of lantrix-scan:"
echo "  1 small picture:                $(peak "$scan" "$small") KB"
echo "  1 photo of 4000x3000:           $(peak "$scan" "$photo") KB"
echo "  $count pictures:                  $(peak "$scan" $files) KB"
echo "  1000 pictures (the folder 8x):  $(peak "$scan" $thousand) KB"
echo "  zbarimg, the 4000x3000 photo:   $(peak zbarimg -q --nodbus "$photo") KB"

echo "Live scanning, 5 s per source:"
"$build/bench/bench_live_scan" 5 2>/dev/null | sed 's/^/  /'
