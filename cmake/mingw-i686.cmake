# Cross build for 32-bit Windows 2000/XP with the mingw-w64 compilers.
set(CMAKE_SYSTEM_VERSION 5.0)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARSEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Windows 2000 runs on the Pentium (i586), which lacks cmov, fcomi and SSE; GCC's
# default for this target, i686, uses them. Everything built here (the program, its
# tests, the stand-ins, GoogleTest) is for i586; tests/windows/check_i586.py checks that
# none of the program's own code holds such an instruction.
set(CMAKE_C_FLAGS_INIT "-march=i586")
set(CMAKE_CXX_FLAGS_INIT "-march=i586")
# The runtime's prebuilt start-up code is i686 code: the program brings its own entry
# point instead (the CMakeLists.txt adds this file to the program and links it).
set(TARSEL_STARTUP_SOURCE ${CMAKE_CURRENT_LIST_DIR}/../src/platform/win32/pentium_entry_win32.cpp)

# Windows 2000 refuses images that ask for a newer subsystem version than its own 5.0.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -Wl,--major-subsystem-version,5,--minor-subsystem-version,0")
