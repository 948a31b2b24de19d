// Short texts: every text the program handles holds 0 to 255 bytes.
#pragma once

#include <cstdint>
#include <string_view>

/// A text of at most 255 eight-bit characters. Building one from a longer text,
/// and every concatenation, keeps the first 255 characters and drops the rest.
/// Comparison is byte by byte and case-sensitive.
class ShortText {
 public:
  static constexpr int kCapacity = 255;

  ShortText() = default;
  ShortText(const char* text);       // NOLINT: texts and literals mix freely
  ShortText(std::string_view text);  // NOLINT

  int length() const { return length_; }
  bool empty() const { return length_ == 0; }
  /// The characters, followed by a NUL byte (the text itself may hold NULs).
  const char* c_str() const { return text_; }
  std::string_view view() const { return std::string_view(text_, length_); }
  /// The character at a 0-based index; the index must be below length().
  char operator[](int index) const { return text_[index]; }

  /// Appends as much of the text as fits.
  ShortText& operator+=(std::string_view text);
  ShortText& operator+=(const ShortText& text) { return *this += text.view(); }

  friend bool operator==(const ShortText& a, const ShortText& b) { return a.view() == b.view(); }
  friend bool operator!=(const ShortText& a, const ShortText& b) { return !(a == b); }
  /// Byte order over the common length; the shorter text comes first on a tie.
  friend bool operator<(const ShortText& a, const ShortText& b) { return a.view() < b.view(); }

 private:
  uint8_t length_ = 0;
  char text_[kCapacity + 1] = {};
};

ShortText operator+(const ShortText& a, const ShortText& b);

/// Only "A" to "Z" become "a" to "z"; every other byte stays.
ShortText LowerCase(const ShortText& text);

/// Only "a" to "z" become "A" to "Z"; every other byte stays. Windows compares the
/// names of files and of environment variables this way.
constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/// Equal apart from the case of "A" to "Z", as UpperAscii compares: the one
/// case-insensitive comparison of the program, its tools and its tests.
constexpr bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

/// Up to `count` characters from the 1-based `index`. An index below 1 counts as 1,
/// one beyond the length gives an empty text, a negative count counts as 0.
ShortText Substring(const ShortText& text, int index, int count);

/// At most `count` characters of `text` from the 0-based `from`; empty from past the
/// end. Unlike std::string_view::substr it has no range check, whose exception would
/// bring the C++ runtime's exception machinery into the program.
constexpr std::string_view Slice(std::string_view text, size_t from,
                                 size_t count = std::string_view::npos) {
  if (from >= text.size()) return {};
  const size_t left = text.size() - from;
  return std::string_view(text.data() + from, count < left ? count : left);
}

/// 1-based position of the first occurrence of `part` in `text`; 0 when absent or
/// when `part` is empty.
int PositionOf(const ShortText& part, const ShortText& text);

/// Decimal digits with a leading "-" for negative numbers; no padding.
ShortText NumberToText(int64_t number);

/// What TextToNumber found.
struct ParsedNumber {
  int32_t value = 0;
  /// 0 when the whole text was a number; otherwise the 1-based index of the first
  /// character that does not fit (one past the end when the text ended early).
  int position = 0;
};

/// Reads a whole text as a number: leading blanks, an optional sign, then decimal
/// digits or "$" and hexadecimal digits. A number outside the signed 32-bit range
/// is not a number: value 0 and the position of the digit that overflowed.
ParsedNumber TextToNumber(const ShortText& text);
