// Files opened to learn their size, and text files read or written as lines. Every
// failure is reported through the pending I/O result (io_result.h).
#pragma once

#include <cstdint>

#include "platform/short_text.h"

/// An open file of the operating system, opaque to everything above this layer.
using FileHandle = intptr_t;

/// A file opened read-only and exclusively, only to learn its size.
struct RawFile {
  ShortText name;
  bool isOpen = false;
  FileHandle handle = 0;
};

/// Opens an existing file for reading, exclusively: fails while any other process
/// (or another open file of this program) has it open. A missing file fails with 2,
/// a directory fails too.
void OpenForReading(RawFile& file, const ShortText& name);

/// Size in bytes, at most 2147483647. A file that is not open gives 0 and code 103.
int32_t FileLength(RawFile& file);

/// Closes the file; a file that is not open gives code 103.
void CloseFile(RawFile& file);

enum class TextFileState { Closed, Reading, Writing };

/// A file read or written as lines through a 128-byte buffer. Written lines end with
/// CR LF; a Ctrl-Z (byte 26) marks the end of the text when reading.
struct TextFile {
  static constexpr int kBufferSize = 128;

  ShortText name;
  TextFileState state = TextFileState::Closed;
  FileHandle handle = 0;
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
