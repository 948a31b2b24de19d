#!/usr/bin/env bash
# Installs, in one apt-get step, what the named kinds of work need and this machine
# lacks; does nothing when all of it is there. Every script of the repository takes its
# outside commands from here, so that a fresh Debian 12 machine gets all of them before
# the first build instead of finding one missing half an hour later.
#
#   scripts/prerequisites.sh KIND...
#     build     the native build: cmake, g++, ninja
#     test      the native test suites: GoogleTest, python3, and for the results report
#               sqlite3 (loads its records) and chromium (draws its HTML, headless)
#     fuzz      the fuzz targets: clang with libFuzzer
#     windows   the cross builds and Wine: the mingw-w64 compilers (with their objdump),
#               the 64-bit and the 32-bit Wine (loaders and server under /usr/lib/wine,
#               nothing on PATH), script(1) for a console, and qemu-user, which runs the
#               32-bit Wine where the kernel refuses 32-bit programs
#
# Exits non-zero when the install fails or leaves something missing.
set -euo pipefail

wine_dir=/usr/lib/wine
missing_packages=()

# need CHECK PACKAGE...: the packages go on the list unless the check passes.
need() {
  local check=$1
  shift
  if ! eval "$check" >/dev/null 2>&1; then missing_packages+=("$@"); fi
}

check_kind() {
  case "$1" in
    build)
      need 'command -v cmake' cmake
      need 'command -v g++' g++
      need 'command -v ninja' ninja-build
      ;;
    test)
      need '[ -f /usr/src/googletest/CMakeLists.txt ]' googletest libgtest-dev
      need 'command -v python3' python3
      need 'command -v sqlite3' sqlite3
      need 'command -v chromium' chromium
      ;;
    fuzz)
      need 'command -v clang++' clang
      need '[ -f "$(clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a)" ]' libclang-rt-14-dev
      ;;
    windows)
      need 'command -v i686-w64-mingw32-g++-win32' g++-mingw-w64-i686
      need 'command -v x86_64-w64-mingw32-g++-win32' g++-mingw-w64-x86-64
      need '[ -x $wine_dir/wine64 ] && [ -x $wine_dir/wineserver ]' wine64
      need '[ -x $wine_dir/wine ] && dpkg -s wine32:i386' wine32:i386
      need 'command -v script' bsdutils
      need '[ -x /usr/bin/qemu-i386 ]' qemu-user
      ;;
    *)
      echo "prerequisites.sh: no such kind: $1 (build, test, fuzz or windows)" >&2
      exit 2
      ;;
  esac
}

for kind in "$@"; do check_kind "$kind"; done
[ ${#missing_packages[@]} -eq 0 ] && exit 0

# One package may be wanted by two checks.
mapfile -t missing_packages < <(printf '%s\n' "${missing_packages[@]}" | awk '!seen[$0]++')
echo "== installing: ${missing_packages[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# The 32-bit Wine comes from the i386 architecture.
if [[ " ${missing_packages[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -q </dev/null
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing_packages[@]}" </dev/null

# What the install was to bring must be there now.
missing_packages=()
for kind in "$@"; do check_kind "$kind"; done
if [ ${#missing_packages[@]} -gt 0 ]; then
  echo "prerequisites.sh: still missing after the install: ${missing_packages[*]}" >&2
  exit 1
fi
