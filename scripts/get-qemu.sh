#!/usr/bin/env bash
# Fetches Debian's user-mode emulator for 32-bit x86 programs into
# build/qemu (nothing is installed on the machine, and apt's own lists and
# sources stay as they are): the package qemu-user from bookworm-backports.
# Bookworm's own qemu 7.2 runs 32-bit Wine so slowly (its mmap emulation
# defeats Wine's address-space reservation: minutes per program start) that
# the tests cannot use it; the backport's static qemu-i386 starts a 32-bit
# Wine program in about two seconds.
#   scripts/get-qemu.sh      prints the emulator's path
set -euo pipefail
cd "$(dirname "$0")/.."
dest=$PWD/build/qemu
qemu=$dest/usr/bin/qemu-i386
if [ ! -x "$qemu" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/archives/partial"
  echo "deb http://deb.debian.org/debian bookworm-backports main" >"$work/sources.list"
  opts=(-o APT::Sandbox::User=root -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives")
  apt-get "${opts[@]}" update -qq >/dev/null
  (cd "$work" && apt-get "${opts[@]}" download -qq qemu-user/bookworm-backports >/dev/null)
  mkdir -p "$dest"
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/x"
  mkdir -p "$dest/usr/bin"
  cp "$work/x/usr/bin/qemu-i386" "$qemu"
fi
echo "$qemu"
