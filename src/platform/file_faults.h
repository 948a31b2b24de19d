// For tests only: makes chosen writes, or the next close, of the platform's files fail,
// as a disk that fills up or a device that fails would. The program itself never arms
// it; unarmed, a write or close of a file pays one test of a flag for it.
#pragma once

#include <cstdint>

/// From the `nth` write of a file on (1: the next one), every write fails with `code`:
/// the nth still puts its first `bytesThatLand` bytes into the file, as a write that
/// fills the disk does, and every later write puts nothing there. A write is one
/// handing over of bytes to the system: a text file's buffer written out, at most 128
/// bytes, or what waits in it when the file is closed. Replaces an earlier arrangement
/// for writes; counting starts now.
void FailWritesFrom(int nth, int32_t bytesThatLand, int32_t code);

/// The next close of a file open for writing closes it but reports `code`, as a
/// device that cannot keep what it was given does. Files open for reading close as
/// ever meanwhile.
void FailNextClose(int32_t code);

/// Every write and close works again.
void ClearFileFaults();
