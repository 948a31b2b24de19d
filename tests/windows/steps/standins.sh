# shellcheck shell=bash
# The testbed's 64-bit stand-ins, driven through Wine's own cmd, xcopy and regedit.
step_standins() {
  builds win64 || return 0
  local log t=$SECONDS
  note "testbed stand-ins under Wine (testbed/wine_check.sh)"
  log="$(build_of win64)/wine-check.log"
  timeout 600 bash "$ROOT/testbed/wine_check.sh" "$HOST_BUILD" "$(build_of win64)" "$WINE_BASE" \
    </dev/null >"$log" 2>&1 || { fail "testbed stand-ins under Wine (log: $log)"; cat "$log"; }
  grep -E '^FAIL|failed$' "$log" || tail -20 "$log"
  took $t "testbed stand-ins under Wine"
}
