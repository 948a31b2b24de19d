# shellcheck shell=sh
# Shared by the build and test scripts, sourced with ROOT set to the repository (plain
# sh, for fuzz.sh too).

# The CMake generator's options: Ninja where it is installed, else CMake's default.
cmake_generator() {
  if command -v ninja >/dev/null 2>&1; then echo "-G Ninja"; fi
}

# The CMake toolchain file of a Windows build (win32 or win64).
toolchain_of() {
  if [ "$1" = win32 ]; then echo "$ROOT/cmake/mingw-i686.cmake"; else echo "$ROOT/cmake/mingw-x86_64.cmake"; fi
}

# The C++ compiler of a Windows build, for probes built outside CMake.
compiler_of() {
  if [ "$1" = win32 ]; then echo i686-w64-mingw32-g++-win32; else echo x86_64-w64-mingw32-g++-win32; fi
}
