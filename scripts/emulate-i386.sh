#!/usr/bin/env bash
# Lets a host whose kernel refuses 32-bit programs run them under qemu-user, so that
# Debian's 32-bit Wine loader starts: mounts binfmt_misc if it is not mounted and
# registers /usr/bin/qemu-i386 (package qemu-user) for i386 ELF programs, with the flag
# F (the interpreter is opened now, so it also serves in other mount namespaces).
# This changes the whole machine until it restarts; as root:
#
#   scripts/emulate-i386.sh           register (nothing to do when it is registered)
#   scripts/emulate-i386.sh --remove  take the registration back
#                                     (the same as: echo -1 > /proc/sys/fs/binfmt_misc/qemu-i386)
#
# A host that runs 32-bit programs natively needs none of this.
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
interpreter=/usr/bin/qemu-i386

if [ "${1:-}" = --remove ]; then
  if [ -e "$entry" ]; then echo -1 >"$entry"; fi
  exit 0
fi
[ -x "$interpreter" ] || { echo "emulate-i386.sh: $interpreter is missing (package qemu-user)" >&2; exit 1; }
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$entry" ]; then
  # The ELF header of an i386 executable or shared object, and which bits of it count.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":qemu-i386:M::$magic:$mask:$interpreter:F" >"$binfmt/register"
fi
grep -qx enabled "$entry" || { echo "emulate-i386.sh: $entry is not enabled" >&2; exit 1; }
