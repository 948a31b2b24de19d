#!/usr/bin/env bash
# Cross-builds the Windows programs (32-bit for Windows 2000/XP, 64-bit), the unit
# tests and the testbed's stand-in with mingw-w64, checks the programs' import tables
# against what Windows 2000 exports, and runs under Wine in private prefixes: the unit
# tests, the end-to-end scenarios of the run, of the analysis and of the encoding tests
# (the host's harness starting the Windows program; the encoding tests on the testbed's
# whole machine laid out for Wine), and the testbed's own check of its stand-ins.
#
#   scripts/test-windows.sh            everything
#   TARSEL_WINDOWS_ARCHS="win64" scripts/test-windows.sh    one build only
#   TARSEL_REQUIRE_WINE32=1 ...        fail (instead of skip) where 32-bit Wine cannot run
#   TARSEL_HOST_BUILD=build/default    take the host's harness from that build folder
#   TARSEL_WINE_E2E_GROUPS="P1 P2"     the scenarios to run under Wine: GoogleTest filters,
#                                      one process each, side by side
#
# Build folders: build-win32, build-win64, and build-wine-e2e for the host's harness;
# Wine prefixes: build-wine-base (made once, reused), build-wine-run (a fresh copy for
# every unit test run); the scenarios make a prefix of their own for every run of the
# program. See docs/windows.md.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ARCHS="${TARSEL_WINDOWS_ARCHS:-win32 win64}"
HOST_BUILD="${TARSEL_HOST_BUILD:-$ROOT/build-wine-e2e}"
# The scenarios mostly wait (pauses, Wine's start-up): two processes side by side. The
# encoding scenarios run all their machines when their suite starts, so a suite is
# never split between processes.
E2E_GROUPS="${TARSEL_WINE_E2E_GROUPS:-RunControl.*:Analysis.* EncodingRuns.*:FatalRuns.*}"
WINE_BASE="$ROOT/build-wine-base"
WINE_RUN="$ROOT/build-wine-run"
WINE32_LOADER="${TARSEL_WINE32:-/usr/lib/wine/wine}"
WINE64_LOADER="${TARSEL_WINE64:-/usr/lib/wine/wine64}"
# The server beside the loaders picks the 64-bit one; Debian puts none on PATH.
WINESERVER="$(dirname "$WINE64_LOADER")/wineserver"
TEST_DRIVE=D      # mapped to an empty folder of the run prefix
ABSENT_DRIVE=Q    # never mapped
GENERATOR=()
command -v ninja >/dev/null && GENERATOR=(-G Ninja)

failures=0
started=$SECONDS
timings=()
note() { printf '\n=== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*"; failures=$((failures + 1)); }
took() { timings+=("$(printf '%5d s  %s' "$((SECONDS - $1))" "$2")"); echo "$2: $((SECONDS - $1)) s"; }

toolchain_of() { [ "$1" = win32 ] && echo "$ROOT/cmake/mingw-i686.cmake" || echo "$ROOT/cmake/mingw-x86_64.cmake"; }
compiler_of() { [ "$1" = win32 ] && echo i686-w64-mingw32-g++-win32 || echo x86_64-w64-mingw32-g++-win32; }
loader_of() { [ "$1" = win32 ] && echo "$WINE32_LOADER" || echo "$WINE64_LOADER"; }

bash "$ROOT/scripts/prerequisites.sh" build test windows
for loader in "$WINE64_LOADER" "$WINESERVER"; do
  [ -x "$loader" ] || { echo "test-windows.sh: $loader is missing" >&2; exit 1; }
done

# --- Build ------------------------------------------------------------------------
for arch in $ARCHS; do
  note "build $arch"
  build="$ROOT/build-$arch"
  t=$SECONDS
  mkdir -p "$build"
  cmake -S "$ROOT" -B "$build" "${GENERATOR[@]}" -DCMAKE_TOOLCHAIN_FILE="$(toolchain_of "$arch")" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARSEL_TESTS=ON >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 1; }
  cmake --build "$build" -j2 --target zentravo-kelv-tarsel tarsel_tests tarsel-standin
  took $t "build $arch"
done

# The scenarios under Wine are driven from the host: its test harness and the
# testbed's layout tool.
note "build the host's harness ($HOST_BUILD)"
t=$SECONDS
if [ ! -f "$HOST_BUILD/CMakeCache.txt" ]; then
  mkdir -p "$HOST_BUILD"
  cmake -S "$ROOT" -B "$HOST_BUILD" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARSEL_TESTS=ON >"$HOST_BUILD/configure.log" 2>&1 || { cat "$HOST_BUILD/configure.log"; exit 1; }
fi
cmake --build "$HOST_BUILD" -j2 --target tarsel_e2e tarsel-testbed
took $t "build the host's harness"

# --- Import tables ----------------------------------------------------------------
note "import check"
t=$SECONDS
python3 -m unittest -q "$ROOT/tests/windows/check_imports_test.py" || fail "check_imports tests"
for arch in $ARCHS; do
  python3 "$ROOT/tests/windows/check_imports.py" "$ROOT/build-$arch/zentravo-kelv-tarsel.exe" ||
    fail "imports of the $arch program"
  # The tests and the stand-in may also use what test_exe_extra_imports.txt lists, each
  # with the Windows version that brings it.
  python3 "$ROOT/tests/windows/check_imports.py" \
    --extra-list "$ROOT/tests/windows/test_exe_extra_imports.txt" \
    "$ROOT/build-$arch/tarsel_tests.exe" "$ROOT/build-$arch/tarsel-standin.exe" ||
    fail "imports of the $arch tests and stand-in"
  # The check must refuse a program that imports what Windows 2000 lacks.
  probe="$ROOT/build-$arch/needs_vista.exe"
  "$(compiler_of "$arch")" -D_WIN32_WINNT=0x0600 -static -o "$probe" "$ROOT/tests/windows/needs_vista.cpp"
  if python3 "$ROOT/tests/windows/check_imports.py" "$probe" >"$probe.log" 2>&1; then
    cat "$probe.log"
    fail "the import check accepted GetTickCount64 ($arch)"
  elif ! grep -q 'GetTickCount64: not exported by Windows 2000' "$probe.log"; then
    cat "$probe.log"
    fail "the import check failed $probe for another reason"
  else
    echo "$probe: refused as it must be (GetTickCount64)"
  fi
done

# The 32-bit program must run on a Pentium (i586): no cmov, fcomi, MMX or SSE in its
# own code (told apart from the runtime's by the project's objects) or in runtime code
# it calls. The pseudo-relocator's helpers only run when the pseudo-relocation list is
# not empty; a static program's is (docs/windows.md).
if [[ " $ARCHS " == *" win32 "* ]]; then
  python3 -m unittest -q "$ROOT/tests/windows/check_i586_test.py" || fail "check_i586 tests"
  build="$ROOT/build-win32"
  i586_check() {
    python3 "$ROOT/tests/windows/check_i586.py" --unreached _mark_section_writable \
      --unreached __GetPEImageBase "$@"
  }
  own=()
  for object in "$build/libtarsel_core.a" "$build/libtarsel_platform.a" $(find "$build/CMakeFiles/zentravo-kelv-tarsel.dir" -name '*.obj'); do
    own+=(--own "$object")
  done
  i586_check "${own[@]}" "$build/zentravo-kelv-tarsel.exe" >"$build/check-i586.log" ||
    { cat "$build/check-i586.log"; fail "instructions a Pentium lacks in the win32 program"; }
  tail -1 "$build/check-i586.log"
  # The check must refuse a probe built for i686 and pass it built for i586.
  for march_status in i686:1 i586:0; do
    march=${march_status%:*}
    probe="$build/pentium_probe_$march"
    for source in tests/windows/pentium_probe.cpp cmake/mingw-i686-startup.cpp; do
      i686-w64-mingw32-g++-win32 -march="$march" -O2 -c "$ROOT/$source" -o "$probe.$(basename "$source" .cpp).o"
    done
    i686-w64-mingw32-g++-win32 -static -Wl,-e,_TarselStartup "$probe".*.o -o "$probe.exe"
    status=0
    i586_check --own "$probe.pentium_probe.o" --own "$probe.mingw-i686-startup.o" "$probe.exe" \
      >"$probe.log" 2>&1 || status=$?
    if [ "$status" = "${march_status#*:}" ]; then
      echo "$probe.exe: $(tail -1 "$probe.log" | sed 's/.*: //') as it must be"
    else
      cat "$probe.log"
      fail "the Pentium check gave status $status for the $march probe"
    fi
  done
fi
took $t "import check"

# --- Wine prefix --------------------------------------------------------------------
wine_in() { WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d" "${@:2}"; }

# Ends the run prefix's Wine processes. The server's status only says whether one was
# running; that it exists was checked above.
cleanup() {
  if [ -d "$WINE_RUN" ]; then WINEPREFIX="$WINE_RUN" "$WINESERVER" -k >/dev/null 2>&1 || :; fi
}
trap cleanup EXIT

if [ ! -f "$WINE_BASE/.tarsel-ready" ]; then
  note "make the Wine prefix (once)"
  t=$SECONDS
  rm -rf "$WINE_BASE"
  mkdir -p "$WINE_BASE"
  status=0
  wine_in "$WINE_BASE" "$WINE64_LOADER" wineboot -i >"$WINE_BASE/wineboot.log" 2>&1 || status=$?
  WINEPREFIX="$WINE_BASE" "$WINESERVER" -w
  if [ ! -d "$WINE_BASE/drive_c/windows/system32" ]; then
    cat "$WINE_BASE/wineboot.log"
    echo "test-windows.sh: wineboot (status $status) made no prefix" >&2
    exit 1
  fi
  # A new prefix maps z: to the host's root; no test may reach the host that way.
  rm -f "$WINE_BASE/dosdevices/z:"
  touch "$WINE_BASE/.tarsel-ready"
  took $t "make the Wine prefix"
fi

fresh_prefix() {
  cleanup
  rm -rf "$WINE_RUN"
  cp -a "$WINE_BASE" "$WINE_RUN"
  mkdir -p "$WINE_RUN/drive-${TEST_DRIVE,,}" "$WINE_RUN/drive_c/tarsel"
  ln -s "../drive-${TEST_DRIVE,,}" "$WINE_RUN/dosdevices/${TEST_DRIVE,,}:"
  rm -f "$WINE_RUN/dosdevices/${ABSENT_DRIVE,,}:"
}

# --- Unit tests under Wine ----------------------------------------------------------
for arch in $ARCHS; do
  loader="$(loader_of "$arch")"
  if [ "$arch" = win32 ] && ! "$loader" --version >/dev/null 2>&1; then
    if [ "${TARSEL_REQUIRE_WINE32:-0}" = 1 ]; then
      fail "32-bit Wine ($loader) cannot run on this host"
    else
      note "SKIPPED: unit tests of win32 under Wine: this host cannot run the 32-bit Wine" \
        "loader ($loader: $("$loader" --version 2>&1 | tail -1)); the win32 build and its" \
        "import check above still ran"
    fi
    continue
  fi
  fresh_prefix
  cp "$ROOT/build-$arch/tarsel_tests.exe" "$WINE_RUN/drive_c/tarsel/"
  log="$ROOT/build-$arch/wine-unit.log"

  note "unit tests of $arch under Wine, output redirected"
  t=$SECONDS
  (cd "$WINE_RUN/drive_c/tarsel" &&
    TARSEL_TEST_DRIVE=$TEST_DRIVE TARSEL_TEST_ABSENT_DRIVE=$ABSENT_DRIVE \
      wine_in "$WINE_RUN" timeout 1200 "$loader" 'C:\tarsel\tarsel_tests.exe' </dev/null >"$log" 2>&1) ||
    fail "unit tests of $arch under Wine (log: $log)"
  grep -E '^\[  (FAILED|PASSED|SKIPPED) ' "$log" || tail -20 "$log"
  took $t "unit tests of $arch under Wine"

  note "console tests of $arch under Wine, in a real console (a pseudo-terminal)"
  t=$SECONDS
  console_log="$ROOT/build-$arch/wine-console.log"
  (cd "$WINE_RUN/drive_c/tarsel" &&
    WINEPREFIX="$WINE_RUN" WINEDEBUG=-all timeout 300 script -qec \
      "stty cols 80 rows 25; '$loader' 'C:\\tarsel\\tarsel_tests.exe' --gtest_filter='Console*' \
        --gtest_output=xml:'C:\\tarsel\\console.xml'" /dev/null </dev/null >"$console_log" 2>&1) ||
    fail "console tests of $arch under Wine (log: $console_log)"
  results="$WINE_RUN/drive_c/tarsel/console.xml"
  if [ -f "$results" ]; then
    grep -o '<testsuites tests="[0-9]*" failures="[0-9]*" disabled="[0-9]*" errors="[0-9]*"' "$results"
    if grep -q '<skipped' "$results"; then fail "console tests of $arch were skipped: no console"; fi
    cp "$results" "$ROOT/build-$arch/wine-console.xml"
  else
    fail "console tests of $arch left no results"
  fi
  took $t "console tests of $arch under Wine"
done
cleanup

# --- End-to-end scenarios under Wine ----------------------------------------------------
# The host's harness lays out each simulated machine and starts the Windows program
# under Wine (tests/e2e/launch_wine.cpp): a private prefix per run whose drives are the
# machine's, the machine's variables set inside Windows by the testbed's launcher, and
# Wine's own cmd.exe behind the recording interpreter. The testbed's whole machines
# (the encoding scenarios) each get a prefix of their own, hard-linked from the base
# prefix: their temporary folders must lie on its file system.
E2E_TMP="$ROOT/build-wine-e2e-tmp"
for arch in $ARCHS; do
  loader="$(loader_of "$arch")"
  if ! "$loader" --version >/dev/null 2>&1; then
    note "SKIPPED: scenarios of $arch under Wine: this host cannot run $loader"
    [ "$arch" = win32 ] && [ "${TARSEL_REQUIRE_WINE32:-0}" = 1 ] &&
      fail "32-bit Wine ($loader) cannot run on this host"
    continue
  fi
  note "scenarios ($E2E_GROUPS) with the $arch program under Wine"
  t=$SECONDS
  rm -rf "$E2E_TMP"
  mkdir -p "$E2E_TMP"
  pids=()
  groups=($E2E_GROUPS)
  for group in "${!groups[@]}"; do
    (cd "$ROOT" &&
      TARSEL_E2E_LAUNCHER=wine TARSEL_E2E_WINE="$loader" TARSEL_E2E_WINE_PREFIX="$WINE_BASE" \
        TARSEL_E2E_PROGRAM="$ROOT/build-$arch/zentravo-kelv-tarsel.exe" \
        TARSEL_E2E_STANDIN="$ROOT/build-$arch/tarsel-standin.exe" TMPDIR="$E2E_TMP" \
        timeout 1800 "$HOST_BUILD/tarsel_e2e" --gtest_filter="${groups[$group]}" \
        </dev/null >"$ROOT/build-$arch/wine-e2e-$group.log" 2>&1) &
    pids+=($!)
  done
  for group in "${!pids[@]}"; do
    log="$ROOT/build-$arch/wine-e2e-$group.log"
    wait "${pids[$group]}" || fail "scenarios ${groups[$group]} of $arch under Wine (log: $log)"
    grep -E '^\[ +(FAILED|SKIPPED) +\]|^\[  PASSED  \]' "$log" || tail -20 "$log"
  done
  rm -rf "$E2E_TMP"
  took $t "scenarios of $arch under Wine"
done

# --- The testbed's stand-ins under Wine ------------------------------------------------
# The 64-bit stand-in, driven through Wine's own cmd, xcopy and regedit.
if [[ " $ARCHS " == *" win64 "* ]]; then
  note "testbed stand-ins under Wine (testbed/wine_check.sh)"
  t=$SECONDS
  log="$ROOT/build-win64/wine-check.log"
  timeout 600 bash "$ROOT/testbed/wine_check.sh" "$HOST_BUILD" "$ROOT/build-win64" "$WINE_BASE" \
    </dev/null >"$log" 2>&1 || fail "testbed stand-ins under Wine (log: $log)"
  grep -E '^FAIL|failed$' "$log" || tail -20 "$log"
  took $t "testbed stand-ins under Wine"
fi

note "done in $((SECONDS - started)) s"
printf '%s\n' "${timings[@]}"
if [ "$failures" -ne 0 ]; then
  echo "$failures step(s) failed"
  exit 1
fi
echo "all Windows steps passed"
