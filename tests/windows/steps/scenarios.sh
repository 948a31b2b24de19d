# shellcheck shell=bash
# The end-to-end scenarios under Wine. The host's harness lays out each simulated
# machine and starts the Windows program under Wine (tests/e2e/launch_wine.cpp): a
# private prefix per run whose drives are the machine's, the machine's variables set
# inside Windows by the testbed's launcher, and Wine's own cmd.exe behind the recording
# interpreter. The testbed's whole machines each get a prefix of their own,
# hard-linked from the base prefix: their temporary folders must lie on its file
# system.
#
# Every suite runs; a test that cannot run under Wine, or under emulation, skips
# itself and says why. The groups only share out the time: the encoding scenarios run
# all their machines when their suite starts, so a suite is never split between
# processes; the last group is every suite the others do not name, so that a new one
# is never left out. Two groups run side by side, the scenarios mostly wait (pauses,
# Wine's start-up). The ledger's "-all" runs then run with nothing beside them: beside
# the encoding scenarios they once slowed a start of the automation stand-in past the
# program's 3-second pause ("#020").
E2E_GROUP="${TARSEL_WINE_E2E_GROUP:-EncodingRuns.*:FatalRuns.*}"
E2E_ALONE="${TARSEL_WINE_E2E_ALONE:-LedgerOnAndOff.*:LedgerCompetitor.*}"
E2E_TMP="$BUILD/wine-e2e-tmp"

# One group of scenarios of the build $1: $2 names its log, $3 is its filter, $4 its
# prefix. The prefix's own loader starts the program.
run_group() {
  local arch=$1 standin seconds=300
  standin="$(build_of "$arch")/tarsel-standin.exe"
  # Under emulation the program is the only 32-bit process: the launcher, the recording
  # interpreter and every stand-in are the 64-bit ones, outside system32.
  if [ "$arch" = win32 ] && [ "$WINE32" = emulated ]; then
    standin="$(build_of win64)/tarsel-standin.exe"
    seconds=900
  fi
  # shellcheck disable=SC2046
  (cd "$ROOT" &&
    env $(emulation_variables "$arch") TARSEL_E2E_LAUNCHER=wine TARSEL_E2E_WINE="$(prefix_loader "$4")" \
      TARSEL_E2E_WINE_PREFIX="$4" TARSEL_E2E_WINE_SECONDS=$seconds \
      TARSEL_E2E_PROGRAM="$(build_of "$arch")/zentravo-kelv-tarsel.exe" \
      TARSEL_E2E_STANDIN="$standin" TMPDIR="$E2E_TMP" \
      timeout 1800 "$HOST_BUILD/tarsel_e2e" --gtest_filter="$3" \
      </dev/null >"$(build_of "$arch")/wine-e2e-$2.log" 2>&1)
}

# Its outcome: $1 the build, $2 names its log, $3 is its filter, $4 its status.
group_ran() {
  local log
  log="$(build_of "$1")/wine-e2e-$2.log"
  [ "$4" = 0 ] || fail "scenarios $3 of $1 under Wine (log: $log)"
  grep -E '^\[ +(FAILED|SKIPPED) +\]|^\[  PASSED  \]' "$log" || tail -20 "$log"
}

step_scenarios() {
  local arch prefix alone_prefix group status t filter
  local groups=("$E2E_GROUP" "*-$E2E_GROUP:$E2E_ALONE")
  for filter in "${groups[@]}" "$E2E_ALONE"; do
    [ "$(selected_tests "$filter")" -gt 0 ] || fail "the scenario group $filter selects no test"
  done
  for arch in $ARCHS; do
    runs_here "$arch" "scenarios" || continue
    if [ "$arch" = win32 ] && [ "$WINE32" = emulated ] && [ ! -f "$(build_of win64)/tarsel-standin.exe" ]; then
      fail "the emulated win32 scenarios need the win64 stand-in"
      continue
    fi
    prefix=$(prefix_of "$arch")
    # The ledger's runs are "-all" runs, which testers make on XP.
    alone_prefix=$prefix
    [ "$arch" = win32 ] && alone_prefix=$WINE_WINXP
    note "scenarios of the $arch program under Wine: ${groups[*]}, then $E2E_ALONE"
    t=$SECONDS
    rm -rf "$E2E_TMP"
    mkdir -p "$E2E_TMP"
    local pids=()
    for group in "${!groups[@]}"; do
      run_group "$arch" "$group" "${groups[$group]}" "$prefix" &
      pids+=($!)
    done
    for group in "${!pids[@]}"; do
      status=0
      wait "${pids[$group]}" || status=$?
      group_ran "$arch" "$group" "${groups[$group]}" "$status"
    done
    status=0
    run_group "$arch" alone "$E2E_ALONE" "$alone_prefix" || status=$?
    group_ran "$arch" alone "$E2E_ALONE" "$status"
    rm -rf "$E2E_TMP"
    took $t "scenarios of $arch under Wine"
  done
}
