// GoogleTest hands every failure and skip to a debugger through OutputDebugStringA,
// which raises an exception. Under Wine run by qemu-user (the 32-bit tests on a host
// that cannot run 32-bit programs) that exception takes the test program down, so its
// own sources call this instead; the console output says it all.
#pragma once

#include <windows.h>

inline void TarselNoDebugOutput(const char*) {}

#define OutputDebugStringA TarselNoDebugOutput
