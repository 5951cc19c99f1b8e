#!/bin/sh
# Runs a command in a Debian root of another release, with this source tree at
# /src, so that one machine builds and tests Lantrix on both releases.
#
#   debian-root.sh RELEASE COMMAND...      e.g. debian-root.sh trixie ./build.sh release
#
# The root is made with debootstrap from Debian's mirror and kept between runs
# in a cache folder outside the tree ($LANTRIX_ROOT_CACHE, by default
# /var/cache/lantrix-roots): RELEASE-base is the bare system, RELEASE that
# system with the packages of "tools/install-packages.sh test" installed. The
# second is made again from the first whenever install-packages.sh changes.
# The compiler cache of the root is kept there too (RELEASE-ccache).
#
# The command runs in a private mount namespace: the tree, /dev, /proc and the
# rest are mounted into the root there, and every such mount ends with the
# command, however it ends. Needs root, or sudo.
set -eu
cd "$(dirname "$0")/.."

[ $# -ge 2 ] || { echo "usage: $0 RELEASE COMMAND..." >&2; exit 64; }
release=$1; shift
case "$release" in ''|*[!a-z]*) echo "$0: not a release name: '$release'" >&2; exit 64 ;; esac

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
mirror=${LANTRIX_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${LANTRIX_ROOT_CACHE:-/var/cache/lantrix-roots}
base=$cache/$release-base
root=$cache/$release
ccache_dir=$cache/$release-ccache

if ! command -v debootstrap >/dev/null 2>&1; then
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends debootstrap
fi
$sudo mkdir -p "$cache" "$ccache_dir"

# enter ROOT COMMAND...: runs COMMAND in ROOT with the tree at /src.
enter() {
  into=$1; shift
  # shellcheck disable=SC2016
  $sudo unshare --mount --propagation private --fork -- sh -eu -c '
    into=$1; tree=$2; ccache_dir=$3; shift 3
    mount --rbind /dev "$into/dev"
    mount -t proc proc "$into/proc"
    mount --rbind /sys "$into/sys"
    mount -t tmpfs -o mode=1777 tmpfs "$into/tmp"
    mount -t tmpfs -o mode=755 tmpfs "$into/run"
    mkdir -p "$into/src" "$into/root/.cache/ccache"
    mount --bind "$tree" "$into/src"
    mount --bind "$ccache_dir" "$into/root/.cache/ccache"
    cp /etc/resolv.conf "$into/etc/resolv.conf"
    exec chroot "$into" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      CCACHE_DIR=/root/.cache/ccache \
      sh -c "cd /src && exec \"\$@\"" sh "$@"
  ' sh "$into" "$PWD" "$ccache_dir" "$@"
}

if [ ! -f "$base/.lantrix-base" ]; then
  echo "Making a $release root in $base"
  $sudo rm -rf "$base"
  $sudo debootstrap --variant=minbase "$release" "$base" "$mirror"
  $sudo touch "$base/.lantrix-base"
fi

stamp=$(sha256sum < tools/install-packages.sh | cut -d' ' -f1)
if [ "$(cat "$root/.lantrix-packages" 2>/dev/null)" != "$stamp" ]; then
  echo "Installing Lantrix's packages in the $release root ($root)"
  $sudo rm -rf "$root.new"
  $sudo cp -a "$base" "$root.new"
  enter "$root.new" ./tools/install-packages.sh test
  echo "$stamp" | $sudo tee "$root.new/.lantrix-packages" >/dev/null
  $sudo rm -rf "$root"
  $sudo mv "$root.new" "$root"
fi

enter "$root" "$@"
