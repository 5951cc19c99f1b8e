#!/bin/sh
# Installs the Debian packages that building, running and testing Lantrix need,
# only those that are missing, so a second run costs nothing.
set -eu

packages="
cmake g++ make pkg-config
qt6-base-dev qt6-image-formats-plugins qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
libzxing-dev libjpeg62-turbo-dev
libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
gstreamer1.0-pipewire
libgdk-pixbuf-2.0-0
libcurl4-openssl-dev libicu-dev
libgtest-dev libbenchmark-dev binutils-mingw-w64-x86-64 openssl
fonts-dejavu-core
"

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
