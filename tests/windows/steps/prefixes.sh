# shellcheck shell=bash
# The Wine prefixes: the 64-bit base prefix (made once, reused); for the 32-bit runs the
# 32-bit base prefix where the kernel runs 32-bit programs, else the 64-bit one, each
# with its -win2k and -winxp copies set to that Windows version.

# Makes the base prefix $1 once with the loader $2 (WINEARCH $3) and keeps it.
make_base_prefix() {
  [ -f "$1/.tarsel-ready" ] && return 0
  note "make the Wine prefix $1 (once)"
  local t=$SECONDS status=0
  rm -rf "$1" "$1-win2k" "$1-winxp"
  mkdir -p "$1"
  WINEARCH=$3 wine_in "$1" "$2" wineboot -i >"$1/wineboot.log" 2>&1 || status=$?
  WINEPREFIX="$1" "$WINESERVER" -w
  if [ ! -d "$1/drive_c/windows/system32" ]; then
    cat "$1/wineboot.log"
    echo "test-windows.sh: wineboot (status $status) made no prefix in $1" >&2
    exit 1
  fi
  # A new prefix maps z: to the host's root; no test may reach the host that way.
  rm -f "$1/dosdevices/z:"
  touch "$1/.tarsel-ready"
  took $t "make the Wine prefix $1"
}

# $1, the 32-bit runs' base prefix set to the Windows version $2: its Windows folder
# hard-linked, its registry copied and changed.
make_version_prefix() {
  [ -f "$1/.tarsel-ready" ] && return 0
  local registry
  rm -rf "$1"
  cp -al "$WINE32_BASE" "$1"
  for registry in "$1"/*.reg; do cp --remove-destination "$WINE32_BASE/${registry##*/}" "$registry"; done
  rm "$1/.tarsel-ready"
  set_windows_version "$1" "$2" && touch "$1/.tarsel-ready"
}

step_prefixes() {
  # Under emulation the 32-bit program runs in the 64-bit prefix, which needs its
  # 32-bit half: wineboot makes it only when the 32-bit loader runs (without it,
  # syswow64 is there but empty).
  if [ "$WINE32" = emulated ] && [ ! -f "$WINE_BASE/drive_c/windows/syswow64/kernel32.dll" ]; then
    rm -f "$WINE_BASE/.tarsel-ready"
  fi
  make_base_prefix "$WINE_BASE" "$WINE64_LOADER" win64
  # Natively the 32-bit program runs on a 32-bit system, as Windows 2000 and XP are:
  # system32 is its only system folder.
  WINE32_BASE=$WINE_BASE
  if [ "$WINE32" = native ]; then
    WINE32_BASE=$WINE_BASE32
    make_base_prefix "$WINE32_BASE" "$WINE32_LOADER" win32
  fi
  # The 32-bit runs' versions: Windows 2000 for most, XP for the console and the "-all"
  # runs.
  WINE_WIN2K="$WINE32_BASE-win2k"
  WINE_WINXP="$WINE32_BASE-winxp"
  if [ "$WINE32" != none ]; then
    make_version_prefix "$WINE_WIN2K" win2k
    make_version_prefix "$WINE_WINXP" winxp
  fi
}

# The prefix that a build's unit tests, report and scenarios run in: Windows 2000 for
# the 32-bit program.
prefix_of() { [ "$1" = win32 ] && echo "$WINE_WIN2K" || echo "$WINE_BASE"; }

# Whether the build $1 can run here; says why not when it cannot.
runs_here() {
  [ "$1" = win32 ] && [ "$WINE32" = none ] || return 0
  note "SKIPPED: $2 of win32 under Wine: this host cannot run the 32-bit Wine loader" \
    "($WINE32_LOADER: $("$WINE32_LOADER" --version 2>&1 | tail -1)); the win32 build and its" \
    "import check still ran"
  return 1
}
