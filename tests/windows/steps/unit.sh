# shellcheck shell=bash
# The unit tests of each build under Wine, then its console tests in a real console (a
# pseudo-terminal). The 32-bit ones see Windows 2000, their console tests XP.

# Fails the step $2 when its log $1 shows that its filter selected no test.
expect_tests() {
  if grep -q '^\[==========\] Running 0 tests' "$1"; then fail "$2 selected no test (log: $1)"; fi
}

# Runs the unit tests of $1 with the GoogleTest filter $2 in the run prefix, into the
# log $3.
run_unit_tests() {
  local arch=$1 filter=$2 log=$3
  # shellcheck disable=SC2046
  (cd "$WINE_RUN/drive_c/tarsel" &&
    env $(emulation_variables "$arch") TARSEL_TEST_DRIVE=$TEST_DRIVE \
      TARSEL_TEST_ABSENT_DRIVE=$ABSENT_DRIVE WINEPREFIX="$WINE_RUN" WINEDEBUG=-all \
      WINEDLLOVERRIDES="winemenubuilder.exe=d" timeout 600 "$(loader_of "$arch")" \
      'C:\tarsel\tarsel_tests.exe' --gtest_filter="$filter" </dev/null >"$log" 2>&1)
}

step_unit() {
  local arch build log status t
  for arch in $ARCHS; do
    runs_here "$arch" "unit tests" || continue
    build=$(build_of "$arch")
    fresh_prefix "$(prefix_of "$arch")"
    cp "$build/tarsel_tests.exe" "$WINE_RUN/drive_c/tarsel/"
    log="$build/wine-unit.log"
    note "unit tests of $arch under Wine, output redirected"
    t=$SECONDS
    run_unit_tests "$arch" '*' "$log" || {
      status=$?
      tail -5 "$log"
      grep -q '^\[==========\]' "$log" || wine_start_errors "$(loader_of "$arch")"
      fail "unit tests of $arch under Wine, status $status (log: $log)"
    }
    grep -E '^Windows version seen|^\[  (FAILED|PASSED|SKIPPED) ' "$log" || tail -20 "$log"
    if [ "$arch" = win32 ] && ! grep -q '^Windows version seen: 5\.0 ' "$log"; then
      fail "the Windows 2000 prefix does not show Windows 2000"
    fi
    took $t "unit tests of $arch under Wine"
    [ "$arch" = win32 ] && set_windows_version "$WINE_RUN" winxp
    console_tests "$arch"
  done
  end_run_prefix
}

# The console tests of $1 in the run prefix. Under emulation Wine's own console client
# breaks down ("stack smashing detected" after a few lines, each character a request
# to the console device); the 64-bit build runs the same console tests, and the text
# tests show there that the prefix shows XP.
console_tests() {
  local arch=$1 build log results t=$SECONDS
  build=$(build_of "$arch")
  if [ "$arch" = win32 ] && [ "$WINE32" = emulated ]; then
    note "SKIPPED: console tests of win32 under Wine: Wine's console breaks down under qemu-user;" \
      "the text tests instead, to show the version set"
    log="$build/wine-unit-xp.log"
    run_unit_tests "$arch" 'ShortText*' "$log" || fail "text tests of $arch under Wine (log: $log)"
    expect_tests "$log" "the text tests of $arch"
    grep -E '^Windows version seen|^\[  (FAILED|PASSED) ' "$log" || tail -20 "$log"
    grep -q '^Windows version seen: 5\.1 ' "$log" || fail "the XP prefix does not show Windows XP"
    return
  fi
  note "console tests of $arch under Wine, in a real console (a pseudo-terminal)"
  log="$build/wine-console.log"
  (cd "$WINE_RUN/drive_c/tarsel" &&
    WINEPREFIX="$WINE_RUN" WINEDEBUG=-all timeout 300 script -qec \
      "stty cols 80 rows 25; '$(loader_of "$arch")' 'C:\\tarsel\\tarsel_tests.exe' --gtest_filter='Console*' \
        --gtest_output=xml:'C:\\tarsel\\console.xml'" /dev/null </dev/null >"$log" 2>&1) ||
    fail "console tests of $arch under Wine (log: $log)"
  results="$WINE_RUN/drive_c/tarsel/console.xml"
  if [ -f "$results" ]; then
    grep -o '<testsuites tests="[0-9]*" failures="[0-9]*" disabled="[0-9]*" errors="[0-9]*"' "$results"
    grep -q '<testsuites tests="0"' "$results" && fail "the console tests of $arch selected no test"
    grep -a '^Windows version seen' "$log" || :
    if grep -q '<skipped' "$results"; then fail "console tests of $arch were skipped: no console"; fi
    cp "$results" "$build/wine-console.xml"
  else
    fail "console tests of $arch left no results"
  fi
  took $t "console tests of $arch under Wine"
}
