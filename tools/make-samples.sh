#!/bin/sh
# Writes the sample pictures shipped in samples/: one clean code of each format
# the program reads, plus one code of a format it does not read (Aztec).
# Run once by hand when the samples change; needs Debian's zint and qrencode.
set -eu
out=$(cd "$(dirname "$0")/.." && pwd)/samples
mkdir -p "$out"
cd "$out"

# Margins (quiet zones) of several modules keep every code findable.
z() { name=$1; shift; zint --notext --scale=3 --whitesp=10 --vwhitesp=10 --output="$name" "$@"; }

qrencode -o qr_code.png -s 8 -m 4 "https://lantrix.invalid/hello?from=qr"
z data_matrix.png -b 71 --scale=6 -d "Lantrix Data Matrix 0042"
z ean_13.png -b 13 -d "400638133393"
z ean_8.png -b 13 -d "9638507"
z upc_a.png -b 34 -d "03600029145"
z upc_e.png -b 37 -d "0425261"
z code_128.png -b 20 -d "LANTRIX-128-Sample"
z code_39.png -b 8 -d "LANTRIX 39"
z code_93.png -b 25 -d "LANTRIX93"
z itf.png -b 3 -d "12345678901231"
z aztec.png -b 92 --scale=6 -d "Lantrix Aztec"

