// POSIX backend only: pieces that are shared between its files and reached by its tests.
#pragma once

/// Keeps a copy of the program's arguments for CommandArgument.
void SetCommandArguments(int argc, const char* const* argv);

/// The tests' one seam into the process snapshots: the folder that stands for the root
/// of the file system, in which they read "proc" (numbered folders with a "stat" and a
/// "status" file each, beside "stat" and "loadavg") and "sys/devices/system/cpu"
/// (cpufreq, thermal_throttle and topology of each processor); "" for the real ones.
/// Unset, the variable TARSEL_SYSTEM_ROOT names it, for the end-to-end tests (see
/// docs/posix-port.md); without it the real ones. Ends the snapshots taken so far.
void SetSystemRoot(const char* root);
