// Windows backend only: the readers of the records of the Windows process list and of
// the version numbers. They make no operating-system calls and live in the portable
// system_records.cpp, so that both builds test them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/machine_figures.h"
#include "platform/process_snapshot.h"

/// Which layout the records of the Windows process list have.
enum class RecordLayout { Bits32, Bits64 };

/// Appends the processes of a buffer filled by the Windows process-list query, whose
/// first byte lies at `bufferAddress` (the image names point into it). Reads only the
/// fields that Windows 2000 and XP place alike: the next-entry offset, creation, user
/// and kernel time, image name, process id, parent id and peak working set. Skips the idle process
/// (id 0). Letters outside ASCII in a name become "?". Stops at a record that would reach beyond
/// the buffer. Times in 100 ns units.
void ReadProcessRecords(const unsigned char* buffer, size_t size, uintptr_t bufferAddress,
                        RecordLayout layout, ProcessSnapshot& snapshot);

/// The "major.minor" text and the name Windows gives a version: 5.0 "Windows 2000",
/// 5.1 "Windows XP", any other "Windows " and the version.
void NameWindowsVersion(unsigned major, unsigned minor, MachineFigures& figures);

/// Each processor's current and nominal clock from the records that the power query for
/// processor information fills (PROCESSOR_POWER_INFORMATION, six 32-bit fields: number,
/// maximum, current and limit MHz, two idle states; alike in both layouts), into
/// `snapshot.processors` by number; numbers beyond kProcessorCapacity are passed over.
/// The maximum is the processor's rated clock, Windows' nominal one.
void ReadPowerRecords(const unsigned char* buffer, size_t size, ProcessSnapshot& snapshot);
