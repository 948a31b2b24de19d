#!/usr/bin/env bash
# Builds the program and every test suite with warnings as errors and runs them with
# CTest; then does the same in an AddressSanitizer/UndefinedBehaviorSanitizer build;
# runs each fuzz target briefly; and cross-builds the Windows programs and runs their
# tests under Wine (TARSEL_SKIP_WINDOWS=1 leaves that out).
# On a fresh Debian 12 it first installs what is missing. Exits non-zero on any
# failure.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=2

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
command -v python3 >/dev/null 2>&1 || missing+=(python3)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest libgtest-dev)
if [ "${TARSEL_SKIP_WINDOWS:-0}" != 1 ]; then
  command -v i686-w64-mingw32-g++-win32 >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686)
  command -v x86_64-w64-mingw32-g++-win32 >/dev/null 2>&1 || missing+=(g++-mingw-w64-x86-64)
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
  command -v script >/dev/null 2>&1 || missing+=(bsdutils)
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "== installing: ${missing[*]}"
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  # The 32-bit Wine comes from the i386 architecture.
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
  fi
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

echo "== fuzz targets, ${TARSEL_FUZZ_SECONDS:-12} s each"
bash "$root/scripts/fuzz.sh" "${TARSEL_FUZZ_SECONDS:-12}"

if [ "${TARSEL_SKIP_WINDOWS:-0}" = 1 ]; then
  echo "== Windows build and tests skipped (TARSEL_SKIP_WINDOWS=1)"
else
  echo "== Windows: cross build, import check, tests under Wine"
  TARSEL_HOST_BUILD="$root/build/default" bash "$root/scripts/test-windows.sh"
  echo "== Windows download: packaged from the cross builds just tested, then checked"
  TARSEL_PACKAGE_WIN32_BUILD="$root/build-win32" TARSEL_PACKAGE_WIN64_BUILD="$root/build-win64" \
    bash "$root/scripts/package-windows.sh" "$root/build/package"
fi
echo "== all configurations passed"
