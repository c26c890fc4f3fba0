#!/usr/bin/env bash
# Installs what building and testing Quillbox needs on a Debian machine.
# Idempotent: it only calls apt when something is missing. Run as root.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

packages=(
  cmake make g++ pkg-config
  g++-mingw-w64-i686-win32 mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine32:i386 wine64 xvfb x11-utils imagemagick
  libgtest-dev googletest zlib1g-dev libtomlplusplus-dev
  cabextract gcab clang-format fonts-dejavu-core bc python3 osslsigncode openssl util-linux
)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture for wine32"
  dpkg --add-architecture i386
  apt_update_needed=1
fi

for p in "${packages[@]}"; do
  have_pkg "$p" || need+=("$p")
done

if [ ${#need[@]} -gt 0 ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
# Where the kernel runs no 32-bit code, the tests run the shipped 32-bit
# programs under user-mode emulation (scripts/with-emulation.sh).
if [ "$(bash "$(dirname "$0")/wine-arch.sh")" != wow64 ] && [ -x /usr/lib/wine/wine64 ]; then
  echo "setup: this machine runs no 32-bit code; fetching Debian's qemu-i386 into build/qemu"
  bash "$(dirname "$0")/get-qemu.sh" >/dev/null
fi
echo "setup: all dependencies present"
