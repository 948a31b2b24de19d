# shellcheck shell=bash
# The settings and helpers every step of scripts/test-windows.sh uses (sourced).

ARCHS="${TARSEL_WINDOWS_ARCHS:-win32 win64}"
BUILD="$ROOT/build"
HOST_BUILD="${TARSEL_HOST_BUILD:-$BUILD/wine-e2e}"
WINE_BASE="$BUILD/wine-base"      # 64-bit
WINE_BASE32="$BUILD/wine-base32"  # 32-bit, where the kernel runs 32-bit programs
WINE_RUN="$BUILD/wine-run"
WINE32_LOADER="${TARSEL_WINE32:-/usr/lib/wine/wine}"
WINE64_LOADER="${TARSEL_WINE64:-/usr/lib/wine/wine64}"
# The server beside the loaders picks the 64-bit one; Debian puts none on PATH.
WINESERVER="$(dirname "$WINE64_LOADER")/wineserver"
TEST_DRIVE=D   # mapped to an empty folder of the run prefix
ABSENT_DRIVE=Q # never mapped
read -r -a GENERATOR <<<"$(cmake_generator)"

failures=0
started=$SECONDS
timings=()
note() { printf '\n=== %s\n' "$*"; }
fail() {
  printf 'FAILED: %s\n' "$*"
  failures=$((failures + 1))
}
took() {
  timings+=("$(printf '%5d s  %s' "$((SECONDS - $1))" "$2")")
  echo "$2: $((SECONDS - $1)) s"
}
builds() { [[ " $ARCHS " == *" $1 "* ]]; }
build_of() { echo "$BUILD/$1"; }
loader_of() { [ "$1" = win32 ] && echo "$WINE32_LOADER" || echo "$WINE64_LOADER"; }

wine_in() { WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d" "${@:2}"; }

# Ends the run prefix's Wine processes. The server's status only says whether one was
# running.
end_run_prefix() {
  if [ -d "$WINE_RUN" ]; then WINEPREFIX="$WINE_RUN" "$WINESERVER" -k >/dev/null 2>&1 || :; fi
}

# The loader that serves the prefix $1: the 32-bit one for a 32-bit prefix.
prefix_loader() {
  if grep -qx '#arch=win32' "$1/system.reg" 2>/dev/null; then echo "$WINE32_LOADER"; else echo "$WINE64_LOADER"; fi
}

# Makes Wine report the Windows version $2 (win2k, winxp) in the prefix $1.
set_windows_version() {
  wine_in "$1" "$(prefix_loader "$1")" reg add 'HKEY_CURRENT_USER\Software\Wine' /v Version /d "$2" /f \
    >/dev/null 2>&1 && WINEPREFIX="$1" "$WINESERVER" -w && grep -q "\"Version\"=\"$2\"" "$1/user.reg" ||
    fail "cannot set the Windows version $2 in $1"
}

# A fresh run prefix, copied from the prefix $1.
fresh_prefix() {
  end_run_prefix
  rm -rf "$WINE_RUN"
  cp -a "$1" "$WINE_RUN"
  mkdir -p "$WINE_RUN/drive-${TEST_DRIVE,,}" "$WINE_RUN/drive_c/tarsel"
  ln -s "../drive-${TEST_DRIVE,,}" "$WINE_RUN/dosdevices/${TEST_DRIVE,,}:"
  rm -f "$WINE_RUN/dosdevices/${ABSENT_DRIVE,,}:"
}

# When a start under Wine fails before the program says anything, Wine's own error
# lines say why; WINEDEBUG=-all keeps them out of the logs, so a start of the run
# prefix's cmd with Wine's errors shown prints them (less the complaints of a prefix
# without a display, which every start makes).
wine_start_errors() {
  echo "Wine's errors at a start of $1:"
  (cd "$WINE_RUN/drive_c" && WINEPREFIX="$WINE_RUN" WINEDEBUG=err+all timeout 300 "$1" cmd /c exit \
    </dev/null 2>&1 | grep -E '^([0-9a-f]+:)?(err|wine):' | grep -vE 'nodrv_CreateWindow|systray' |
    head -10) || :
}

# The number of tests of the host's harness that the GoogleTest filter $1 selects.
selected_tests() {
  "$HOST_BUILD/tarsel_e2e" --gtest_list_tests --gtest_filter="$1" | grep -c '^  ' || :
}
