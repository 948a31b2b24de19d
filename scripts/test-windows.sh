#!/usr/bin/env bash
# Cross-builds the Windows programs (32-bit for Windows 2000/XP, 64-bit), the unit
# tests and the testbed's stand-in with mingw-w64, warnings as errors (these are the
# only builds of src/platform/win32), checks the programs' import tables against what
# Windows 2000 exports, and runs under Wine in private prefixes: the unit tests, the
# end-to-end scenarios of the run, of the analysis and of the encoding tests (the host's
# harness starting the Windows program; the encoding tests on the testbed's whole
# machine laid out for Wine), and the testbed's own check of its stand-ins.
#
#   scripts/test-windows.sh            everything
#   TARSEL_WINDOWS_ARCHS="win64" scripts/test-windows.sh    one build only
#   TARSEL_REQUIRE_WINE32=1 ...        run the 32-bit Wine under qemu-user where the kernel
#                                      refuses 32-bit programs, and fail where it still
#                                      cannot run (instead of skipping)
#   TARSEL_EMULATE_I386=1 ...          run it under qemu-user there, or skip where it cannot
#                                      (where the kernel runs 32-bit programs, they always
#                                      run natively, in 32-bit prefixes)
#   TARSEL_HOST_BUILD=build/default    take the host's harness from that build folder
#   TARSEL_WINE_E2E_GROUPS="P1 P2"     the scenarios to run under Wine: GoogleTest filters,
#   TARSEL_WINE_E2E_ALONE="P"          and the ones run afterwards with nothing beside them;
#                                      one process each, side by side
#
# Build folders: build-win32, build-win64, and build-wine-e2e for the host's harness;
# Wine prefixes: build-wine-base (64-bit, made once, reused); for the 32-bit runs the
# 32-bit build-wine-base32 where the kernel runs 32-bit programs, else the 64-bit one,
# each with its -win2k and -winxp copies set to that Windows version; build-wine-run (a
# fresh copy for every unit test run); the scenarios make a prefix of their own for
# every run of the program. See docs/windows.md.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ARCHS="${TARSEL_WINDOWS_ARCHS:-win32 win64}"
HOST_BUILD="${TARSEL_HOST_BUILD:-$ROOT/build-wine-e2e}"
# The scenarios mostly wait (pauses, Wine's start-up): two processes side by side. The
# encoding scenarios run all their machines when their suite starts, so a suite is
# never split between processes.
E2E_GROUPS="${TARSEL_WINE_E2E_GROUPS:-RunControl.*:Analysis.* EncodingRuns.*:FatalRuns.*}"
# Run afterwards, with no other group beside them: the ledger's two "-all" runs, whose
# six machines beside the encoding scenarios' twelve once slowed a start of the
# automation stand-in past the program's 3-second pause ("#020"); and the competitor.
E2E_ALONE="${TARSEL_WINE_E2E_ALONE:-LedgerOnAndOff.*:LedgerCompetitor.*}"
WINE_BASE="$ROOT/build-wine-base"      # 64-bit
WINE_BASE32="$ROOT/build-wine-base32"  # 32-bit, where the kernel runs 32-bit programs
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
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DTARSEL_TESTS=ON \
    >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 1; }
  cmake --build "$build" -j2 --target zentravo-kelv-tarsel tarsel-report tarsel_tests tarsel-standin
  took $t "build $arch"
done

# The scenarios under Wine are driven from the host: its test harness and the
# testbed's layout tool.
note "build the host's harness ($HOST_BUILD)"
t=$SECONDS
if [ ! -f "$HOST_BUILD/CMakeCache.txt" ]; then
  mkdir -p "$HOST_BUILD"
  cmake -S "$ROOT" -B "$HOST_BUILD" "${GENERATOR[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DTARSEL_TESTS=ON >"$HOST_BUILD/configure.log" 2>&1 ||
    { cat "$HOST_BUILD/configure.log"; exit 1; }
fi
cmake --build "$HOST_BUILD" -j2 --target tarsel_e2e tarsel-testbed
took $t "build the host's harness"

# --- Import tables ----------------------------------------------------------------
note "import check"
t=$SECONDS
python3 -m unittest -q "$ROOT/tests/windows/check_imports_test.py" || fail "check_imports tests"
for arch in $ARCHS; do
  python3 "$ROOT/tests/windows/check_imports.py" "$ROOT/build-$arch/zentravo-kelv-tarsel.exe" \
    "$ROOT/build-$arch/tarsel-report.exe" || fail "imports of the $arch programs"
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
  # Each program with the project's objects it is made of.
  for program_core in zentravo-kelv-tarsel:tarsel_core tarsel-report:tarsel_report_core; do
    program=${program_core%:*}
    own=()
    for object in "$build/lib${program_core#*:}.a" "$build/libtarsel_platform.a" $(find "$build/CMakeFiles/$program.dir" -name '*.obj'); do
      own+=(--own "$object")
    done
    i586_check "${own[@]}" "$build/$program.exe" >"$build/check-i586-$program.log" ||
      { cat "$build/check-i586-$program.log"; fail "instructions a Pentium lacks in the win32 $program"; }
    tail -1 "$build/check-i586-$program.log"
  done
  # The check must refuse a probe built for i686 and pass it built for i586.
  for march_status in i686:1 i586:0; do
    march=${march_status%:*}
    probe="$build/pentium_probe_$march"
    for source in tests/windows/pentium_probe.cpp src/platform/win32/pentium_entry_win32.cpp; do
      i686-w64-mingw32-g++-win32 -march="$march" -O2 -c "$ROOT/$source" -o "$probe.$(basename "$source" .cpp).o"
    done
    i686-w64-mingw32-g++-win32 -static -Wl,-e,_TarselStartup "$probe".*.o -o "$probe.exe"
    status=0
    i586_check --own "$probe.pentium_probe.o" --own "$probe.pentium_entry_win32.o" "$probe.exe" \
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
# A registration of qemu-i386 that this script made is taken back at its end, and one
# that it turned off is turned on again.
registered_here=0
suspended_here=0
at_exit() {
  cleanup
  if [ "$registered_here" = 1 ] && ! bash "$ROOT/scripts/emulate-i386.sh" --remove; then
    echo "test-windows.sh: the qemu-i386 registration stays; scripts/emulate-i386.sh --remove takes it back" >&2
  fi
  if [ "$suspended_here" = 1 ] && ! bash "$ROOT/scripts/emulate-i386.sh" --on; then
    echo "test-windows.sh: the qemu-i386 registration stays off; scripts/emulate-i386.sh --on turns it on" >&2
  fi
}
trap at_exit EXIT

# --- 32-bit Wine -------------------------------------------------------------------
# "native" where the kernel runs 32-bit programs, "emulated" where qemu-user runs them
# for it (scripts/emulate-i386.sh, which changes the whole machine and so is done only
# when asked), "none" where it cannot run. Where the kernel runs them, emulation is
# never chosen: the 32-bit loader under qemu-user fails there at once, so a
# registration found there is turned off until this script ends.
emulate_i386() { bash "$ROOT/scripts/emulate-i386.sh" "$@"; }
emulation_registered() { grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; }
WINE32=none
if emulate_i386 --native; then
  note "host: the kernel runs 32-bit programs; the 32-bit program runs under the 32-bit Wine" \
    "in 32-bit prefixes (WINEARCH=win32)"
  if [[ " $ARCHS " == *" win32 "* ]]; then
    if emulation_registered; then
      note "turning the qemu-i386 registration off until this script ends (binfmt_misc, the whole machine)"
      emulate_i386 --off && suspended_here=1 || fail "cannot turn the qemu-i386 registration off"
    fi
    if "$WINE32_LOADER" --version >/dev/null 2>&1; then WINE32=native; fi
  fi
else
  note "host: the kernel refuses 32-bit programs; the 32-bit program runs under qemu-user" \
    "when asked (TARSEL_REQUIRE_WINE32, TARSEL_EMULATE_I386), in a 64-bit prefix"
  if [[ " $ARCHS " == *" win32 "* ]]; then
    if ! emulation_registered &&
      { [ "${TARSEL_REQUIRE_WINE32:-0}" = 1 ] || [ "${TARSEL_EMULATE_I386:-0}" = 1 ]; }; then
      note "registering qemu-i386 for 32-bit programs until this script ends (binfmt_misc, the whole machine)"
      emulate_i386 && registered_here=1 || fail "cannot register qemu-i386"
    fi
    if emulation_registered && "$WINE32_LOADER" --version >/dev/null 2>&1; then WINE32=emulated; fi
  fi
fi
if [[ " $ARCHS " == *" win32 "* ]] && [ "$WINE32" = none ] && [ "${TARSEL_REQUIRE_WINE32:-0}" = 1 ]; then
  fail "32-bit Wine ($WINE32_LOADER) cannot run on this host"
fi

# The loader that serves the prefix $1: the 32-bit one for a 32-bit prefix.
prefix_loader() {
  if grep -qx '#arch=win32' "$1/system.reg" 2>/dev/null; then echo "$WINE32_LOADER"; else echo "$WINE64_LOADER"; fi
}

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

# Makes Wine report the Windows version $2 (win2k, winxp) in the prefix $1.
set_windows_version() {
  wine_in "$1" "$(prefix_loader "$1")" reg add 'HKEY_CURRENT_USER\Software\Wine' /v Version /d "$2" /f \
    >/dev/null 2>&1 && WINEPREFIX="$1" "$WINESERVER" -w && grep -q "\"Version\"=\"$2\"" "$1/user.reg" ||
    fail "cannot set the Windows version $2 in $1"
}

# $1, the 32-bit runs' base prefix set to the Windows version $2: its Windows folder
# hard-linked, its registry copied and changed.
make_version_prefix() {
  [ -f "$1/.tarsel-ready" ] && return 0
  rm -rf "$1"
  cp -al "$WINE32_BASE" "$1"
  for registry in "$1"/*.reg; do cp --remove-destination "$WINE32_BASE/${registry##*/}" "$registry"; done
  rm "$1/.tarsel-ready"
  set_windows_version "$1" "$2" && touch "$1/.tarsel-ready"
}
if [ "$WINE32" != none ]; then
  make_version_prefix "$WINE_WIN2K" win2k
  make_version_prefix "$WINE_WINXP" winxp
fi

# The prefix that each build's unit tests and report run in: Windows 2000 for the
# 32-bit program.
prefix_of() { [ "$1" = win32 ] && echo "$WINE_WIN2K" || echo "$WINE_BASE"; }

# A fresh run prefix, copied from the prefix $1 (the base prefix when not given).
fresh_prefix() {
  cleanup
  rm -rf "$WINE_RUN"
  cp -a "${1:-$WINE_BASE}" "$WINE_RUN"
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

# --- Unit tests under Wine ----------------------------------------------------------
for arch in $ARCHS; do
  loader="$(loader_of "$arch")"
  # Under emulation every 32-bit process starts slowly (most of a minute of processor
  # time), so the 32-bit tests that start children of their own (ChildProcessWin32, and
  # the death test of InterruptWin32, two children) are left out there; so are the two
  # that read a file's identity (GetFileInformationByHandle asks Wine's mount manager
  # for the volume's serial number, a request that now and then never returns under
  # qemu-user, docs/windows.md).
  unit_filter='*'
  if [ "$arch" = win32 ]; then
    if [ "$WINE32" = none ]; then
      note "SKIPPED: unit tests of win32 under Wine: this host cannot run the 32-bit Wine" \
        "loader ($loader: $("$loader" --version 2>&1 | tail -1)); the win32 build and its" \
        "import check above still ran"
      continue
    fi
    [ "$WINE32" = emulated ] &&
      unit_filter='-ChildProcessWin32.*:InterruptWin32.*:ReportFilesTest.Walk*:ReportFilesTest.Facts*'
  fi
  fresh_prefix "$(prefix_of "$arch")"
  cp "$ROOT/build-$arch/tarsel_tests.exe" "$WINE_RUN/drive_c/tarsel/"
  log="$ROOT/build-$arch/wine-unit.log"

  note "unit tests of $arch under Wine ($unit_filter), output redirected"
  t=$SECONDS
  (cd "$WINE_RUN/drive_c/tarsel" &&
    TARSEL_TEST_DRIVE=$TEST_DRIVE TARSEL_TEST_ABSENT_DRIVE=$ABSENT_DRIVE \
      wine_in "$WINE_RUN" timeout 600 "$loader" 'C:\tarsel\tarsel_tests.exe' \
      --gtest_filter="$unit_filter" </dev/null >"$log" 2>&1) || {
    status=$?
    tail -5 "$log"
    grep -q '^\[==========\]' "$log" || wine_start_errors "$loader"
    fail "unit tests of $arch under Wine, status $status (log: $log)"
  }
  grep -E '^Windows version seen|^\[  (FAILED|PASSED|SKIPPED) ' "$log" || tail -20 "$log"
  if [ "$arch" = win32 ] && ! grep -q '^Windows version seen: 5\.0 ' "$log"; then
    fail "the Windows 2000 prefix does not show Windows 2000"
  fi
  took $t "unit tests of $arch under Wine"
  # Under emulation Wine's own console client breaks down ("stack smashing detected"
  # after a few lines, each character a request to the console device); the 64-bit
  # build runs the same console tests.
  # The console tests of the 32-bit program see Windows XP.
  [ "$arch" = win32 ] && set_windows_version "$WINE_RUN" winxp
  if [ "$arch" = win32 ] && [ "$WINE32" = emulated ]; then
    note "SKIPPED: console tests of win32 under Wine: Wine's console breaks down under qemu-user;" \
      "the text tests instead, to show the version set"
    log="$ROOT/build-$arch/wine-unit-xp.log"
    (cd "$WINE_RUN/drive_c/tarsel" &&
      wine_in "$WINE_RUN" timeout 600 "$loader" 'C:\tarsel\tarsel_tests.exe' \
        --gtest_filter='ShortText*' </dev/null >"$log" 2>&1) ||
      fail "text tests of $arch under Wine (log: $log)"
    grep -E '^Windows version seen|^\[  (FAILED|PASSED) ' "$log" || tail -20 "$log"
    grep -q '^Windows version seen: 5\.1 ' "$log" || fail "the XP prefix does not show Windows XP"
    continue
  fi

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
    grep -a '^Windows version seen' "$console_log" || :
    if grep -q '<skipped' "$results"; then fail "console tests of $arch were skipped: no console"; fi
    cp "$results" "$ROOT/build-$arch/wine-console.xml"
  else
    fail "console tests of $arch left no results"
  fi
  took $t "console tests of $arch under Wine"
done
cleanup

# --- The report program under Wine --------------------------------------------------------
# Its CSV of the sample logs keeps their bytes, so it equals the host's golden output. The
# emulated 32-bit build is left out: one more start would cost most of a minute.
for arch in $ARCHS; do
  [ "$arch" = win32 ] && [ "$WINE32" != native ] && continue
  note "the report program of $arch under Wine"
  fresh_prefix "$(prefix_of "$arch")"
  cp -r "$ROOT/tests/report/sample" "$ROOT/build-$arch/tarsel-report.exe" "$WINE_RUN/drive_c/tarsel/"
  out="$ROOT/build-$arch/wine-report.csv"
  (cd "$WINE_RUN/drive_c/tarsel" &&
    wine_in "$WINE_RUN" timeout 120 "$(loader_of "$arch")" 'C:\tarsel\tarsel-report.exe' \
      --format csv 'C:\tarsel\sample' </dev/null >"$out" 2>&1) ||
    fail "the report program of $arch under Wine (output: $out)"
  if cmp -s "$out" "$ROOT/tests/report/golden/sample.csv"; then
    echo "$out: the golden CSV"
  else
    diff "$out" "$ROOT/tests/report/golden/sample.csv" | head -20
    fail "the report program of $arch under Wine wrote another CSV"
  fi
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
# Under emulation only a few scenarios run, chosen for what differs in 32-bit code: the
# usage text, an official and an unofficial DivX run and a broken pack, on Windows 2000.
# (The "-all" run on XP, EncodingRuns.AllSevenTestsOfficialAndValid with the scenario
# "all" and the XP prefix, passes too, but beside them it costs four more minutes than
# the budget of the whole suite allows.) The program is the only 32-bit process: the
# launcher, the recording interpreter and every stand-in are the 64-bit ones, outside
# system32.
EMULATED_GROUP="RunControl.NoArgumentsShowsTheUsage:EncodingRuns.DivXAloneOfficialAndValid:EncodingRuns.CommandLongerThan255CharactersIsCut:FatalRuns.TestPackFailures"
EMULATED_SCENARIOS="divx,cut,005"
for arch in $ARCHS; do
  standin="$ROOT/build-$arch/tarsel-standin.exe"
  seconds=300
  groups=($E2E_GROUPS)
  chosen=""
  # The groups' prefix and the one of the runs with nothing beside them; each prefix's
  # own loader starts the program.
  prefix=$(prefix_of "$arch")
  alone_prefix=$prefix
  if [ "$arch" = win32 ] && [ "$WINE32" = none ]; then
    note "SKIPPED: scenarios of win32 under Wine: this host cannot run $WINE32_LOADER"
    continue
  elif [ "$arch" = win32 ] && [ "$WINE32" = emulated ]; then
    groups=("$EMULATED_GROUP")
    chosen=$EMULATED_SCENARIOS
    alone_prefix=""
    standin="$ROOT/build-win64/tarsel-standin.exe"
    seconds=900
    [ -f "$standin" ] || { fail "the emulated win32 scenarios need the win64 stand-in ($standin)"; continue; }
  elif [ "$arch" = win32 ]; then
    # The ledger's runs are "-all" runs, which testers make on XP.
    alone_prefix=$WINE_WINXP
  fi
  note "scenarios (${groups[*]}) with the $arch program under Wine${chosen:+ (emulated)}"
  t=$SECONDS
  rm -rf "$E2E_TMP"
  mkdir -p "$E2E_TMP"
  # One group of scenarios: $1 names its log, $2 is its filter, $3 its prefix.
  run_group() {
    (cd "$ROOT" &&
      TARSEL_E2E_LAUNCHER=wine TARSEL_E2E_WINE="$(prefix_loader "$3")" TARSEL_E2E_WINE_PREFIX="$3" \
        TARSEL_E2E_WINE_SECONDS=$seconds TARSEL_E2E_SCENARIOS="$chosen" \
        TARSEL_E2E_PROGRAM="$ROOT/build-$arch/zentravo-kelv-tarsel.exe" \
        TARSEL_E2E_STANDIN="$standin" TMPDIR="$E2E_TMP" \
        timeout 1800 "$HOST_BUILD/tarsel_e2e" --gtest_filter="$2" \
        </dev/null >"$ROOT/build-$arch/wine-e2e-$1.log" 2>&1)
  }
  # Its outcome: $1 names its log, $2 is its filter, $3 its status.
  group_ran() {
    local log="$ROOT/build-$arch/wine-e2e-$1.log"
    [ "$3" = 0 ] || fail "scenarios $2 of $arch under Wine (log: $log)"
    grep -E '^\[ +(FAILED|SKIPPED) +\]|^\[  PASSED  \]' "$log" || tail -20 "$log"
  }
  pids=()
  for group in "${!groups[@]}"; do
    run_group "$group" "${groups[$group]}" "$prefix" &
    pids+=($!)
  done
  for group in "${!pids[@]}"; do
    status=0
    wait "${pids[$group]}" || status=$?
    group_ran "$group" "${groups[$group]}" "$status"
  done
  if [ -n "$alone_prefix" ] && [ -n "$E2E_ALONE" ]; then
    status=0
    run_group alone "$E2E_ALONE" "$alone_prefix" || status=$?
    group_ran alone "$E2E_ALONE" "$status"
  fi
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
    </dev/null >"$log" 2>&1 || { fail "testbed stand-ins under Wine (log: $log)"; cat "$log"; }
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
