#!/usr/bin/env bash
# Cross-builds the Windows programs (32-bit for Windows 2000/XP, 64-bit), the unit
# tests and the testbed's stand-in with mingw-w64, warnings as errors (these are the
# only builds of src/platform/win32), checks the programs' import tables against what
# Windows 2000 exports, and runs under Wine in private prefixes: the unit tests, the
# console tests, the report program, every end-to-end suite (the host's harness
# starting the Windows program) and the testbed's own check of its stand-ins. Each step
# is a file of tests/windows/steps/.
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
#   TARSEL_WINE_E2E_GROUP="P"          the scenarios run beside all the others (a
#   TARSEL_WINE_E2E_ALONE="P"          GoogleTest filter), and the ones run afterwards
#                                      with nothing beside them
#
# Everything it makes lies under build/: win32 and win64 (the builds), wine-e2e (the
# host's harness), the Wine prefixes wine-base (64-bit, made once, reused) and, where
# the kernel runs 32-bit programs, wine-base32, each with its -win2k and -winxp copies
# set to that Windows version, and wine-run (a fresh copy for every unit test run); the
# scenarios make a prefix of their own for every run of the program. See
# docs/windows.md.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=build-common.sh
. "$ROOT/scripts/build-common.sh"
for step in common build imports host prefixes unit report scenarios standins; do
  # shellcheck source=/dev/null
  . "$ROOT/tests/windows/steps/$step.sh"
done

bash "$ROOT/scripts/prerequisites.sh" build test windows
for loader in "$WINE64_LOADER" "$WINESERVER"; do
  [ -x "$loader" ] || { echo "test-windows.sh: $loader is missing" >&2; exit 1; }
done
at_exit() {
  end_run_prefix
  restore_emulation
}
trap at_exit EXIT

step_build
step_imports
step_host
step_prefixes
step_unit
step_report
step_scenarios
step_standins

note "done in $((SECONDS - started)) s"
printf '%s\n' "${timings[@]}"
if [ "$failures" -ne 0 ]; then
  echo "$failures step(s) failed"
  exit 1
fi
echo "all Windows steps passed"
