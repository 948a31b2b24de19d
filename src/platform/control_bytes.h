// Control bytes in texts that others wrote (process names, file names, log lines): the
// one rule by which the benchmark's ledger and console and the results report show them.
#pragma once

#include <cstddef>

/// True for the bytes shown as "?": every byte below 0x20 (NUL, line ends, tab,
/// Ctrl-Z, the escape of console sequences) and 0x7F, so that no text can end a line,
/// a record or a file, or steer a console. The system's 8-bit letters stay.
constexpr bool IsControlByte(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

/// Replaces the control bytes among the `count` bytes at `text` with "?".
inline void ReplaceControlBytes(char* text, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (IsControlByte(text[i])) text[i] = '?';
  }
}

/// The same up to the text's terminating zero.
inline void ReplaceControlBytes(char* text) {
  for (; *text != '\0'; ++text) {
    if (IsControlByte(*text)) *text = '?';
  }
}
