// Free space of a drive.
#pragma once

#include <cstdint>

/// Free bytes available to the calling user on a drive: 0 the current drive, 1 A:,
/// 2 B:, 3 C: and so on. At most 2147483647; -1 when the drive does not exist or
/// cannot be read.
int32_t FreeDiskBytes(int drive);

/// Free space available to the calling user on a drive, numbered as for FreeDiskBytes,
/// in MiB and without its cap; -1 when the drive does not exist or cannot be read.
int64_t FreeDiskMebibytes(int drive);
