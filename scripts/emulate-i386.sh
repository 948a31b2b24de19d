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
#   scripts/emulate-i386.sh --off     keep the registration but let the kernel run
#                                     32-bit programs itself (echo 0 > ...); --on undoes it
#   scripts/emulate-i386.sh --native  exits 0 when the kernel itself runs 32-bit
#                                     programs, whatever is registered (changes nothing)
#
# A host that runs 32-bit programs natively needs none of this: there the 32-bit Wine
# loader under qemu-user fails at once ("failed to map the shared user data"), so a
# registration found there is turned off while the Windows tests run.
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386
interpreter=/usr/bin/qemu-i386

# Runs a tiny i386 program that exits with 42. Byte 9 of its header (padding, which the
# kernel ignores) is 1, so that no registration for i386 programs, which all ask for
# zero padding, claims it: only the kernel's own loader can run it.
kernel_runs_i386() {
  local probe status=0
  probe=$(mktemp /tmp/tarsel-i386-probe-XXXXXX)
  # ELF header, one loadable segment at 0x08048000, then: mov eax,1; mov ebx,42; int 0x80
  printf '\x7fELF\x01\x01\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" = 42 ]
}

case "${1:-}" in
  --native)
    kernel_runs_i386
    exit
    ;;
  --remove)
    if [ -e "$entry" ]; then echo -1 >"$entry"; fi
    exit 0
    ;;
  --off | --on)
    if [ -e "$entry" ]; then echo "$([ "$1" = --on ] && echo 1 || echo 0)" >"$entry"; fi
    exit 0
    ;;
esac
[ -x "$interpreter" ] || { echo "emulate-i386.sh: $interpreter is missing (package qemu-user)" >&2; exit 1; }
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ ! -e "$entry" ]; then
  # The ELF header of an i386 executable or shared object, and which bits of it count.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":qemu-i386:M::$magic:$mask:$interpreter:F" >"$binfmt/register"
fi
grep -qx enabled "$entry" || { echo "emulate-i386.sh: $entry is not enabled" >&2; exit 1; }
