# shellcheck shell=bash
# Which kind of host this is, and how the 32-bit program runs on it. Sets WINE32:
# "native" where the kernel runs 32-bit programs, "emulated" where qemu-user runs them
# for it (scripts/emulate-i386.sh, which changes the whole machine and so is done only
# when asked), "none" where it cannot run. Where the kernel runs them, emulation is
# never chosen: the 32-bit loader under qemu-user fails there at once, so a
# registration found there is turned off until the script ends (restore_emulation).
WINE32=none
registered_here=0
suspended_here=0

emulate_i386() { bash "$ROOT/scripts/emulate-i386.sh" "$@"; }
emulation_registered() { grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; }

step_host() {
  if emulate_i386 --native; then
    note "host: the kernel runs 32-bit programs; the 32-bit program runs under the 32-bit Wine" \
      "in 32-bit prefixes (WINEARCH=win32)"
    builds win32 || return 0
    if emulation_registered; then
      note "turning the qemu-i386 registration off until this script ends (binfmt_misc, the whole machine)"
      emulate_i386 --off && suspended_here=1 || fail "cannot turn the qemu-i386 registration off"
    fi
    if "$WINE32_LOADER" --version >/dev/null 2>&1; then WINE32=native; fi
  else
    note "host: the kernel refuses 32-bit programs; the 32-bit program runs under qemu-user" \
      "when asked (TARSEL_REQUIRE_WINE32, TARSEL_EMULATE_I386), in a 64-bit prefix"
    builds win32 || return 0
    if ! emulation_registered &&
      { [ "${TARSEL_REQUIRE_WINE32:-0}" = 1 ] || [ "${TARSEL_EMULATE_I386:-0}" = 1 ]; }; then
      note "registering qemu-i386 for 32-bit programs until this script ends (binfmt_misc, the whole machine)"
      emulate_i386 && registered_here=1 || fail "cannot register qemu-i386"
    fi
    if emulation_registered && "$WINE32_LOADER" --version >/dev/null 2>&1; then WINE32=emulated; fi
  fi
  if [ "$WINE32" = none ] && [ "${TARSEL_REQUIRE_WINE32:-0}" = 1 ]; then
    fail "32-bit Wine ($WINE32_LOADER) cannot run on this host"
  fi
}

# A registration of qemu-i386 that the script made is taken back at its end, and one
# that it turned off is turned on again.
restore_emulation() {
  if [ "$registered_here" = 1 ] && ! emulate_i386 --remove; then
    echo "test-windows.sh: the qemu-i386 registration stays; scripts/emulate-i386.sh --remove takes it back" >&2
  fi
  if [ "$suspended_here" = 1 ] && ! emulate_i386 --on; then
    echo "test-windows.sh: the qemu-i386 registration stays off; scripts/emulate-i386.sh --on turns it on" >&2
  fi
}

# The environment of every 32-bit run under emulation: the tests skip what costs too
# much there, and say why.
emulation_variables() {
  if [ "$1" = win32 ] && [ "$WINE32" = emulated ]; then echo TARSEL_I386_EMULATED=1; fi
}
