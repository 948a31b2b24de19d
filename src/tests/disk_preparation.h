// Bringing the disk into the same state before every measurement: the start
// directory's files defragmented, the write cache flushed, the source clip read once.
#pragma once

#include "platform/short_text.h"

/// The three commands, each through the command interpreter; W is the work
/// directory, where the test pack left the two tools.
inline constexpr char kDefragmentAfterWorkDir[] = "\\contig.exe -s -q *.* > nul";  ///< "/c " W ...
inline constexpr char kFlushCacheAfterWorkDir[] = "\\sync.exe > nul";              ///< "/c " W ...
inline constexpr char kReadClipBefore[] = "/c copy /y ";  ///< then the clip's bare name
inline constexpr char kReadClipAfter[] = " nul > nul";

inline constexpr char kPreparingDisks[] = "Optimizing disk operations... ";
inline constexpr char kDisksPrepared[] = "complete";

/// Writes "Optimizing disk operations... ", runs, each after the previous one has
/// ended, "/c W\contig.exe -s -q *.* > nul", "/c W\sync.exe > nul" and
/// "/c copy /y <clip> nul > nul" through runState.comSpec (W is runState.tempDir),
/// and completes the line with "complete". What the commands achieve is not
/// checked: a missing tool leaves its step without effect.
void PrepareDisks(const ShortText& clip);
