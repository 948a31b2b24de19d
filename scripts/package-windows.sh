#!/usr/bin/env bash
# Makes the Windows download: cross-builds the 32-bit program (the Windows 2000/XP
# build) and the 64-bit one as release builds, installs each stripped, and zips both
# with the README as a Windows text file:
#
#   OUTDIR/tarsel-2.0-rc3-windows.zip
#     README.txt                        the README, CR LF line ends
#     win32/zentravo-kelv-tarsel.exe    Windows 2000, XP and later, 32 or 64 bit
#     win32/tarsel-report.exe           the results report, beside it
#     win64/zentravo-kelv-tarsel.exe    64-bit Windows
#     win64/tarsel-report.exe
#
# then checks the zip with tests/package/check_package.py.
#
#   scripts/package-windows.sh [OUTDIR]      OUTDIR defaults to out/ in the repository
#   TARSEL_PACKAGE_WIN32_BUILD=DIR TARSEL_PACKAGE_WIN64_BUILD=DIR scripts/package-windows.sh
#       package from cross builds made already (CI reuses build/win32 and build/win64
#       of scripts/test-windows.sh); they are brought up to date, not reconfigured
#
# Build folders: build/package-win32 and build/package-win64 (Release, no tests).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUTDIR="${1:-$ROOT/out}"
NAME=tarsel-2.0-rc3-windows
PROGRAM=zentravo-kelv-tarsel.exe
REPORT=tarsel-report.exe
# shellcheck source=build-common.sh
. "$ROOT/scripts/build-common.sh"
read -r -a GENERATOR <<<"$(cmake_generator)"
given_build_of() {
  if [ "$1" = win32 ]; then echo "${TARSEL_PACKAGE_WIN32_BUILD:-}"; else echo "${TARSEL_PACKAGE_WIN64_BUILD:-}"; fi
}

bash "$ROOT/scripts/prerequisites.sh" build test windows

mkdir -p "$OUTDIR"
OUTDIR="$(cd "$OUTDIR" && pwd)"
stage="$(mktemp -d "${TMPDIR:-/tmp}/tarsel-package.XXXXXX")"
trap 'rm -rf "$stage"' EXIT

for arch in win32 win64; do
  build="$(given_build_of "$arch")"
  if [ -n "$build" ]; then
    [ -f "$build/CMakeCache.txt" ] || { echo "package-windows.sh: $build is no configured build" >&2; exit 1; }
    echo "== $arch: from $build"
  else
    build="$ROOT/build/package-$arch"
    echo "== $arch: configure and build $build (Release)"
    mkdir -p "$build"
    # Warnings are shown but not errors: scripts/test-windows.sh has built this code with
    # warnings as errors, and a false warning of the optimizer must not stop a release.
    cmake -S "$ROOT" -B "$build" "${GENERATOR[@]}" -DCMAKE_TOOLCHAIN_FILE="$(toolchain_of "$arch")" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=OFF -DTARSEL_TESTS=OFF \
      >"$build/configure.log" 2>&1 ||
      { cat "$build/configure.log"; exit 1; }
  fi
  cmake --build "$build" -j2 --target zentravo-kelv-tarsel tarsel-report
  # --strip: the download carries no symbols; the build folder keeps them.
  cmake --install "$build" --prefix "$stage/$arch" --strip >"$stage/$arch.install.log" ||
    { cat "$stage/$arch.install.log"; exit 1; }
  installed="$(cd "$stage/$arch" && find . -type f | LC_ALL=C sort | tr '\n' ' ')"
  if [ "$installed" != "./README.txt ./bin/$REPORT ./bin/$PROGRAM " ]; then
    echo "package-windows.sh: the $arch install holds $installed; expected README.txt, bin/$REPORT and bin/$PROGRAM" >&2
    exit 1
  fi
done

# The two installs carry the same README; the zip holds it once, at its top.
mkdir -p "$stage/zip/win32" "$stage/zip/win64"
cmp "$stage/win32/README.txt" "$stage/win64/README.txt"
cp "$stage/win32/README.txt" "$stage/zip/README.txt"
for arch in win32 win64; do
  cp "$stage/$arch/bin/$PROGRAM" "$stage/$arch/bin/$REPORT" "$stage/zip/$arch/"
done

zip="$OUTDIR/$NAME.zip"
rm -f "$zip"
# The files are named one by one, so the zip holds exactly these five entries.
(cd "$stage/zip" && cmake -E tar cf "$zip" --format=zip README.txt "win32/$PROGRAM" "win32/$REPORT" \
  "win64/$PROGRAM" "win64/$REPORT")

python3 "$ROOT/tests/package/check_package.py" --readme "$ROOT/README.md" "$zip"
echo "== $zip ($(wc -c <"$zip") bytes)"
