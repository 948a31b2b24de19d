// POSIX backend only: the readers of the lines of /proc. They make no operating-system
// calls and live in the portable system_records.cpp, so that both builds test them.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/process_snapshot.h"

/// Appends the process of one /proc/[pid]/stat line: "pid (name) state ppid pgrp ...
/// utime stime ... starttime ...". The name runs to the line's last ")", so it may hold
/// blanks and parentheses. Processor times in clock ticks, `ticksPerSecond` of them to
/// the second. False for a line without that shape.
bool ReadProcessStatLine(std::string_view line, int ticksPerSecond, ProcessSample& sample);

/// The machine's totals from the "cpu " line of /proc/stat: busy is user, nice, system,
/// irq, softirq and steal; idle and iowait are not. False for another line.
bool ReadMachineStatLine(std::string_view line, int ticksPerSecond, uint64_t& busyMs,
                         uint64_t& totalMs);

/// One processor's times from a "cpuN" line of /proc/stat, counted as the "cpu " line
/// is: `processor` gets N. False for another line, the machine's "cpu " line included.
bool ReadProcessorStatLine(std::string_view line, int ticksPerSecond, int& processor,
                           uint64_t& busyMs, uint64_t& totalMs);

/// The largest resident set a process has had, in KiB, from the "VmHWM:" line of its
/// /proc/[pid]/status; 0 without that line (a kernel thread, an ended process).
uint64_t ReadPeakResidentKib(std::string_view status);

/// A clock of cpufreq in sysfs, given in kHz ("2400000\n"), in MHz rounded; 0 for any
/// other text.
uint32_t ReadCpufreqMhz(std::string_view text);

/// A counter of sysfs, a decimal number and a line end; -1 for any other text.
int64_t ReadSysfsCount(std::string_view text);
