#!/usr/bin/env bash
# Runs a command with 32-bit x86 programs emulated by qemu-i386-static, for
# machines whose kernel runs no 32-bit code. The handler is registered with
# binfmt_misc inside a user and mount namespace made for this command alone:
# nothing changes for the rest of the machine, and the registration ends
# with the command.
#   scripts/with-emulation.sh COMMAND [ARGUMENT...]
set -euo pipefail
# The emulator scripts/get-qemu.sh fetches (Debian's qemu-user from
# bookworm-backports), unless QB_QEMU_I386 names another.
qemu=${QB_QEMU_I386:-$(cd "$(dirname "$0")/.." && pwd)/build/qemu/usr/bin/qemu-i386}
[ -x "$qemu" ] || { echo "with-emulation: no $qemu (scripts/get-qemu.sh fetches it)" >&2; exit 127; }
if [ "${QB_IN_EMULATION:-}" != 1 ]; then
  exec unshare -U -r -m --propagation private env QB_IN_EMULATION=1 bash "$0" "$@"
fi
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
# i386 ELF executables (ET_EXEC and ET_DYN); F opens the interpreter now, so
# it is found whatever the command's file system view.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":qemu-i386:M::$magic:$mask:$qemu:F" >/proc/sys/fs/binfmt_misc/register
exec "$@"
