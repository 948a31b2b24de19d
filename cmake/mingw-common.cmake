# What both Windows cross builds share: the mingw-w64 compilers of the win32 thread
# model for TARSEL_MINGW_PREFIX, which the toolchain file that includes this sets, and
# libraries and headers found only in that target's folder.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TARSEL_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TARSEL_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TARSEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARSEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
