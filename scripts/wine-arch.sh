#!/usr/bin/env bash
# Prints how the Wine tests run the Windows programs on this machine:
#   wow64           a 64-bit (WoW64) prefix; the 32-bit installer runs natively
#   wow64-emulated  a 64-bit (WoW64) prefix; the kernel runs no 32-bit code,
#                   so the 32-bit programs run under qemu-i386-static, which
#                   the tests register with binfmt_misc in a user namespace of
#                   their own (see scripts/with-emulation.sh)
#   win64           a 64-bit prefix and the x86-64 build of the same sources
#                   (no 32-bit code and no way to emulate it)
#   win32           a 32-bit prefix (only 32-bit Wine is installed)
#   none            no usable Wine
# The native check runs in a user namespace with an empty binfmt_misc, so a
# qemu-i386 handler registered for the whole machine does not pass for a
# kernel that runs 32-bit code.
here=$(cd "$(dirname "$0")" && pwd)
runs_natively() {
  if unshare -U -r -m --propagation private \
    sh -c 'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc' 2>/dev/null; then
    unshare -U -r -m --propagation private sh -c \
      'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc && "$0" --version' \
      /usr/lib/wine/wine >/dev/null 2>&1
  else
    # No namespace of our own: trust the kernel unless a qemu handler for
    # i386 programs is registered.
    [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && /usr/lib/wine/wine --version >/dev/null 2>&1
  fi
}
have32=0
have64=0
[ -x /usr/lib/wine/wine ] && have32=1
/usr/lib/wine/wine64 --version >/dev/null 2>&1 && have64=1
if [ $have64 = 1 ] && [ $have32 = 1 ] && runs_natively; then
  echo wow64
elif [ $have64 = 1 ] && [ $have32 = 1 ] && bash "$here/with-emulation.sh" /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo wow64-emulated
elif [ $have64 = 1 ]; then
  echo win64
elif [ $have32 = 1 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo win32
else
  echo none
fi
