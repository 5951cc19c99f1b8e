#!/bin/sh
# Installs the Debian packages that Lantrix needs, only those that are
# missing, so a second run costs nothing.
#
#   install-packages.sh run    what building and running the program take
#   install-packages.sh test   that, and what the tests and benchmarks take
#                              (the benchmark scripts' packages included)
#   install-packages.sh package  what building and running the program take, and
#                              the tools that make and check the Debian package
#   install-packages.sh fuzz   what building and running the program take, and
#                              clang with libFuzzer and the sanitizer runtimes
set -eu

mode=${1:-test}
case "$mode" in run|test|package|fuzz) ;; *) echo "usage: $0 [run|test|package|fuzz]" >&2; exit 64 ;; esac

# Debian 12 (bookworm) and Debian 13 (trixie) name a few packages
# differently; a later release is taken to name them as Debian 13 does.
# Debian 13 has Qt's SVG image and icon plugins in a package of their own,
# and clang 19 where Debian 12 has 14 (the sources' formatting holds for both).
. /etc/os-release
case "${VERSION_CODENAME:-}" in
bookworm) svg_plugins=""; llvm=14 ;;
*)        svg_plugins="qt6-svg-plugins"; llvm=19 ;;
esac

packages="
cmake g++ make ninja-build pkg-config ccache
qt6-base-dev libqt6sql6-sqlite qt6-image-formats-plugins qt6-svg-dev libqt6svg6 $svg_plugins qt6-qpa-plugins libgl-dev
libzxing-dev libjpeg62-turbo-dev libseccomp-dev
libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
libgdk-pixbuf-2.0-0
libcurl4-openssl-dev ca-certificates libicu-dev
qt6-translations-l10n
fonts-dejavu-core
"
test_packages="
libgtest-dev libbenchmark-dev zlib1g-dev binutils-mingw-w64-x86-64 openssl
xvfb libxcb1-dev dbus-daemon desktop-file-utils appstream groff-base mailcap
clang-format-$llvm
zint
"
# The package's build dependencies (debian/control) are among the packages
# above, with libjpeg-dev and pkgconf under the names it gives them.
package_packages="
build-essential debhelper dpkg-dev fakeroot lintian libjpeg-dev pkgconf
"
fuzz_packages="
clang libclang-rt-$llvm-dev
"
# Cameras that PipeWire shares are listed through its GStreamer plugin, for
# the program and its package. The tests run where no PipeWire runs: there
# the plugin can only fail to connect, and libpipewire 0.3.65 may then hang
# for good while it tears the failed connection down (seen once in a listing
# of cameras under the sanitizers), so the test machine goes without it.
[ "$mode" != test ] && packages="$packages gstreamer1.0-pipewire"
[ "$mode" = test ] && packages="$packages $test_packages"
# What the benchmark scripts in bench/ compare with and measure with.
bench_packages="
zbar-tools hyperfine time python3
"
[ "$mode" = test ] && packages="$packages $bench_packages"
[ "$mode" = package ] && packages="$packages $package_packages"
[ "$mode" = fuzz ] && packages="$packages $fuzz_packages"

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing:$missing"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
