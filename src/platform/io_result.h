// The pending I/O result: one process-wide code that file and console operations
// set when they fail, and that the caller fetches right after an operation or a
// short group of them.
#pragma once

#include <cstdint>

/// Codes of this layer; every other non-zero code is an operating-system error
/// number. Callers only tell zero from non-zero.
constexpr int32_t kIoFileNotFound = 2;
constexpr int32_t kIoPathNotFound = 3;
constexpr int32_t kIoAccessDenied = 5;
constexpr int32_t kIoSharingViolation = 32;
constexpr int32_t kIoFileNotOpen = 103;
constexpr int32_t kIoBadNumber = 106;
/// A name whose last part is a symbolic link, opened by a mode that never follows one.
constexpr int32_t kIoSymbolicLink = 1921;

/// Returns the pending code and resets it to 0.
int32_t TakeIoResult();

// The rest is for the platform layer's own operations.

/// True while a failure is pending: text reads and writes (the console included)
/// then do nothing.
bool IoResultPending();

/// Sets the pending code; used by operations that fail.
void SetIoResult(int32_t code);
