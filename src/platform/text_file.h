// Text files read or written as lines, and taking back what an append put at the end
// of a file. Every failure is reported through the pending I/O result (io_result.h).
#pragma once

#include <cstdint>

#include "platform/short_text.h"

enum class TextFileState { Closed, Reading, Writing };

/// A file read or written as lines through a 128-byte buffer. Written lines end with
/// CR LF; a Ctrl-Z (byte 26) marks the end of the text when reading.
struct TextFile {
  static constexpr int kBufferSize = 128;

  ShortText name;
  TextFileState state = TextFileState::Closed;
  intptr_t handle = 0;  ///< the system's open file, owned by the platform layer
  char buffer[kBufferSize] = {};
  int bufferStart = 0;  ///< next byte to read
  int bufferEnd = 0;    ///< end of the bytes read, or of the bytes waiting to be written
  bool fileExhausted = false;
};

/// Opens an existing file for reading from its start; others may keep writing it.
void OpenTextForReading(TextFile& file, const ShortText& name);

/// Creates the file, or empties an existing one, for writing.
void CreateText(TextFile& file, const ShortText& name);

/// Opens an existing file for writing at its end, first cutting it at the first
/// Ctrl-Z among its last 128 bytes. Never creates the file.
void OpenTextForAppend(TextFile& file, const ShortText& name);

/// Opens `name` for writing at its end, creating it when missing (`created` then
/// true, also when the creation failed), never emptying it and never through a
/// symbolic link as the last part of the name (kIoSymbolicLink). Nothing of the file
/// is cut.
void OpenOrCreateTextForAppend(TextFile& file, const ShortText& name, bool& created);

/// Right after an open for writing, before anything is written: reads up to `count`
/// bytes from `offset` into `bytes` and moves back to the end. The number read; -1
/// and a pending code on failure.
int32_t ReadBackText(TextFile& file, int64_t offset, char* bytes, int32_t count);

/// The current line, at most 255 characters looked at (carriage returns are dropped
/// but counted), then moves past the line's end.
ShortText ReadLine(TextFile& file);

/// Skips blanks and line ends, reads one token of at most 32 characters as a number
/// (empty token: 0; malformed: 0 and code 106), then moves past that line's end.
int32_t ReadNumberLine(TextFile& file);

/// True when no character is left or the next one is Ctrl-Z (also while a failure
/// is pending).
bool AtEndOfText(TextFile& file);

void WriteText(TextFile& file, const ShortText& text);

/// Writes the text followed by CR LF; with no text, an empty line.
void WriteLine(TextFile& file, const ShortText& text = ShortText());

/// Writes out the buffer and closes the file; a file that is not open gives 103.
void CloseText(TextFile& file);

// Taking back what an append put at the end of a file, for callers that must leave
// the file as it was when the append failed part-way.

/// The length in bytes of the file that `file` has open for writing, what still waits
/// in its buffer not counted: right after OpenTextForAppend, the place where the
/// appended text begins. A file not open for writing gives -1 and code 103; a failed
/// query gives -1 and its code.
int64_t TextFileLength(TextFile& file);

/// Cuts the existing, closed file `name` back to its first `length` bytes; a file no
/// longer than that stays as it is. A failure leaves its code pending.
void CutFile(const ShortText& name, int64_t length);

/// Takes back an append that failed part-way: closes `file` if it is still open and
/// cuts the file `name` back to `length`, the place where the append began (unknown:
/// -1, and nothing is cut). What the close and the cut report adds nothing to the
/// failure already known: no code is left pending.
void TakeBackAppend(TextFile& file, const ShortText& name, int64_t length);
