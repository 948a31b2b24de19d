// POSIX backend only: each processor's clock and throttling counters from cpufreq and
// thermal_throttle in sysfs, for the process snapshots.
#pragma once

#include "platform/process_snapshot.h"

/// Fills the current and nominal clock of the snapshot's processors, whose numbers (N of
/// sysfs' "cpuN") `numbers` gives, from `cpuFolder` (an open descriptor of the folder
/// sysfs lists the processors in; -1 for none), and with `throttle` the throttling
/// events counted so far. Processors without cpufreq keep 0; without any throttling
/// counter the count stays -1. The nominal clocks are read once, and kept until
/// ForgetProcessorClocks.
void ReadProcessorClocks(int cpuFolder, const int* numbers, bool throttle,
                         ProcessSnapshot& snapshot);

void ForgetProcessorClocks();
