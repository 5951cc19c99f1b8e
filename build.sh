#!/bin/sh
# Sets up a Debian 12 machine for Lantrix, builds it, and then either starts the
# program ("run") or runs the whole test suite headless ("test"); "package"
# builds the Debian package instead and checks it with lintian.
set -eu
cd "$(dirname "$0")"

mode=${1:-run}
case "$mode" in run|test|build|package) ;; *) echo "usage: $0 [run|test|build|package]" >&2; exit 64 ;; esac

# The package is built from a copy of the sources in build/package/, where
# dpkg-buildpackage also leaves the .deb files: nothing lands in the tree
# itself or beside it.
if [ "$mode" = package ]; then
  ./tools/install-packages.sh package
  version=$(dpkg-parsechangelog -S Version)
  out=build/package
  source="$out/lantrix-${version%-*}"
  rm -rf "$out"
  mkdir -p "$source"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard | tar --null --ignore-failed-read -T - -cf - | tar -xf - -C "$source"
  else
    tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$source"
  fi
  (cd "$source" && DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -b -us -uc)
  deb="$out/lantrix_${version}_$(dpkg --print-architecture).deb"
  lintian --display-info --fail-on error "$deb"
  echo "Built $deb"
  exit 0
fi

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
