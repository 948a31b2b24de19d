// What the system says about the machine: its name and version, processor and memory.
#pragma once

#include <cstdint>

#include "platform/short_text.h"

/// What the system says about the machine.
struct MachineFigures {
  ShortText osName;     ///< "Windows 2000", "Windows XP", "Windows 6.1", or "Linux"
  ShortText osVersion;  ///< "major.minor"
  ShortText osBuild;    ///< the build number, or the POSIX kernel release
  ShortText cpuModel;   ///< as the system names the processor; empty when unknown
  int cpuCount = 0;
  int cpuMhz = 0;  ///< 0 when unknown
  int64_t memoryMib = 0;
};

MachineFigures ReadMachineFigures();
