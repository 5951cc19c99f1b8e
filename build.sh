#!/bin/sh
# Sets up a Debian 12 machine for Lantrix, builds it, and then either starts the
# program ("run") or runs the whole test suite headless ("test").
set -eu
cd "$(dirname "$0")"

mode=${1:-run}
case "$mode" in run|test|build) ;; *) echo "usage: $0 [run|test|build]" >&2; exit 64 ;; esac

./tools/install-packages.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build --parallel "$(nproc)"

case "$mode" in
run)   exec build/bin/lantrix ;;
test)  cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 ;;
build) ;;
esac
