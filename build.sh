#!/bin/sh
# Sets up a Debian 12 machine for Lantrix, builds it, and then either starts the
# program ("run") or runs the whole test suite headless ("test").
set -eu
cd "$(dirname "$0")"

mode=${1:-run}
case "$mode" in run|test|build) ;; *) echo "usage: $0 [run|test|build]" >&2; exit 64 ;; esac

# Running the program needs neither the tests nor their packages; "build"
# builds everything, tests and benchmarks included.
case "$mode" in
run)        packages=run;  testing=OFF ;;
test|build) packages=test; testing=ON ;;
esac
./tools/install-packages.sh "$packages"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=$testing -DLANTRIX_BUILD_BENCHMARKS=$testing
cmake --build build --parallel "$(nproc)"

case "$mode" in
run)   exec build/bin/lantrix ;;
test)  cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300 ;;
build) ;;
esac
