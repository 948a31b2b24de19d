// Taking back what an append put at the end of a file, for callers that must leave
// the file as it was when the append failed part-way.
#pragma once

#include <cstdint>

#include "platform/files.h"

/// The length in bytes of the file that `file` has open for writing, what still waits
/// in its buffer not counted: right after OpenTextForAppend, the place where the
/// appended text begins. A file not open for writing gives -1 and code 103; a failed
/// query gives -1 and its code.
int64_t TextFileLength(TextFile& file);

/// Cuts the existing, closed file `name` back to its first `length` bytes; a file no
/// longer than that stays as it is. A failure leaves its code pending.
void CutFile(const ShortText& name, int64_t length);
