// The processor clock of a simulated POSIX machine. Its folder holds a made-up system
// root, which the program's process snapshots read through TARSEL_SYSTEM_ROOT: its
// "proc" is the host's own, its sysfs gives each of the host's processors a steady
// nominal clock. The control "timer.clock=PERCENT" makes the timing tool lower every
// current clock to that share of nominal while it measures, and restore it after.
#pragma once

#include <string>
#include <vector>

/// The folder of the made-up system root in the machine folder.
inline constexpr char kSystemRootFolder[] = "system-root";
inline constexpr char kTimerClockControl[] = "timer.clock";
inline constexpr int kNominalClockKhz = 2000000;

/// The numbers N of the host's processors, its "cpuN" lines of /proc/stat; none where
/// the host has no such file.
std::vector<int> HostProcessorNumbers();

/// The host path of the current clock file of processor `number` under `root`.
std::string CurrentClockFile(const std::string& root, int number);

/// Writes `khz` as the current clock of every processor under `root`. False when a file
/// could not be written.
bool WriteCurrentClocks(const std::string& root, int khz);
