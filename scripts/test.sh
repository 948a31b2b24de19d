#!/usr/bin/env bash
# Builds the program and every test suite with warnings as errors and runs them with
# CTest; then does the same in an AddressSanitizer/UndefinedBehaviorSanitizer build.
# On a fresh Debian 12 it first installs what is missing. Exits non-zero on any
# failure.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=2

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest libgtest-dev)
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q </dev/null
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

# One configuration: build it and run its tests. $1 names the build folder.
run_configuration() {
  local name=$1
  shift
  local build="$root/build/$name"
  echo "== $name: configure"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@"
  echo "== $name: build"
  cmake --build "$build" -j "$jobs"
  echo "== $name: test"
  ctest --test-dir "$build" --output-on-failure -j 1 </dev/null
}

run_configuration default -DTARSEL_SANITIZE=OFF
run_configuration sanitize -DTARSEL_SANITIZE=ON
echo "== all configurations passed"
