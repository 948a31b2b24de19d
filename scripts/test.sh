#!/usr/bin/env bash
# Checks that no file of src/ includes a layer above its own (scripts/check-layers.py);
# builds the program and every test suite with warnings as errors and runs them with
# CTest; does the same in a Release build, without the end-to-end tests, and in an
# AddressSanitizer/UndefinedBehaviorSanitizer build; runs each fuzz target briefly; and
# cross-builds the Windows programs and runs their tests under Wine
# (TARSEL_SKIP_WINDOWS=1 leaves that out).
# On a fresh Debian 12 it first installs everything missing, in one step
# (scripts/prerequisites.sh). Exits non-zero on any failure.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=2

# Everything missing is installed in one step, before the first build.
kinds=(build test fuzz)
[ "${TARSEL_SKIP_WINDOWS:-0}" = 1 ] || kinds+=(windows)
bash "$root/scripts/prerequisites.sh" "${kinds[@]}"

# One configuration: build it and run its tests. $1 names the build folder, $2 is the
# build type, $3 a pattern of the tests left out (empty: none); the rest goes to cmake.
run_configuration() {
  local name=$1 type=$2 exclude=$3
  shift 3
  local build="$root/build/$name"
  local left_out=()
  [ -z "$exclude" ] || left_out=(-E "$exclude")
  echo "== $name: configure"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@"
  echo "== $name: build"
  cmake --build "$build" -j "$jobs"
  echo "== $name: test"
  ctest --test-dir "$build" --output-on-failure -j 1 "${left_out[@]}" </dev/null
}

# Each stage's time, printed at the end.
stage_times=()
stage() {
  local began=$SECONDS
  "${@:2}"
  stage_times+=("$(printf '%5d s  %s' "$((SECONDS - began))" "$1")")
}

# The layering of src/ (README, "How the code is layered"), before anything is built:
# the checker on trees it plants, then on this checkout.
check_layers() {
  python3 "$root/scripts/check-layers.py" --self-test
  python3 "$root/scripts/check-layers.py" "$root"
}
echo "== layers"
stage "layer check" check_layers

stage "default build and tests" run_configuration default RelWithDebInfo "" -DTARSEL_SANITIZE=OFF
# The build type of packagers and of the demo: at -O3 GCC 12 warns of things it does not
# see at -O2 (its false -Wrestrict warnings have broken such builds), and the tests
# run on the code as users get it. About 4 minutes on two cores; the end-to-end tests
# are left out, since they would add 4 more and the default build runs them.
stage "Release build and tests" run_configuration release Release "^e2e$" -DTARSEL_SANITIZE=OFF
stage "sanitizer build and tests" run_configuration sanitize RelWithDebInfo "" -DTARSEL_SANITIZE=ON

echo "== fuzz targets, ${TARSEL_FUZZ_SECONDS:-9} s each"
stage "fuzz targets" bash "$root/scripts/fuzz.sh" "${TARSEL_FUZZ_SECONDS:-9}"

if [ "${TARSEL_SKIP_WINDOWS:-0}" = 1 ]; then
  echo "== Windows build and tests skipped (TARSEL_SKIP_WINDOWS=1)"
else
  echo "== Windows: cross build, import check, tests under Wine"
  TARSEL_HOST_BUILD="$root/build/default" stage "Windows builds and tests under Wine" \
    bash "$root/scripts/test-windows.sh"
  echo "== Windows download: packaged from the cross builds just tested, then checked"
  TARSEL_PACKAGE_WIN32_BUILD="$root/build/win32" TARSEL_PACKAGE_WIN64_BUILD="$root/build/win64" \
    stage "Windows download" bash "$root/scripts/package-windows.sh" "$root/build/package"
fi
echo "== stage times"
printf '%s\n' "${stage_times[@]}"
echo "== all configurations passed"
