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
