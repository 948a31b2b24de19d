// Short texts: portable, no operating-system calls.
#include "platform/short_text.h"

#include <algorithm>
#include <cstring>

ShortText::ShortText(const char* text) : ShortText(std::string_view(text ? text : "")) {}

ShortText::ShortText(std::string_view text) {
  *this += text;
}

ShortText& ShortText::operator+=(std::string_view text) {
  const size_t room = static_cast<size_t>(kCapacity - length_);
  const size_t taken = std::min(room, text.size());
  if (taken > 0) std::memmove(text_ + length_, text.data(), taken);
  length_ = static_cast<uint8_t>(length_ + taken);
  text_[length_] = '\0';
  return *this;
}

ShortText operator+(const ShortText& a, const ShortText& b) {
  ShortText joined = a;
  joined += b;
  return joined;
}

ShortText LowerCase(const ShortText& text) {
  char lowered[ShortText::kCapacity];
  for (int i = 0; i < text.length(); ++i) {
    const char c = text[i];
    lowered[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return ShortText(std::string_view(lowered, static_cast<size_t>(text.length())));
}

ShortText Substring(const ShortText& text, int index, int count) {
  if (index < 1) index = 1;
  if (count < 0) count = 0;
  if (index > text.length()) return ShortText();
  const int available = text.length() - index + 1;
  // Built from the pointer rather than with substr(), whose range check would link the
  // C++ runtime's exception machinery into the program for a case that cannot occur.
  return ShortText(std::string_view(text.view().data() + (index - 1),
                                    static_cast<size_t>(std::min(count, available))));
}

int PositionOf(const ShortText& part, const ShortText& text) {
  if (part.empty()) return 0;
  const size_t found = text.view().find(part.view());
  return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

ShortText NumberToText(int64_t number) {
  char digits[24];
  int end = static_cast<int>(sizeof digits);
  // Work on the magnitude as unsigned so that the most negative value is safe.
  uint64_t magnitude =
      number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
  do {
    digits[--end] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) digits[--end] = '-';
  return ShortText(std::string_view(digits + end, sizeof digits - static_cast<size_t>(end)));
}

namespace {

int DigitValue(char c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

ParsedNumber TextToNumber(const ShortText& text) {
  const int length = text.length();
  int i = 0;
  while (i < length && text[i] == ' ') ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < length && text[i] == '$') {
    base = 16;
    ++i;
  }
  // Accumulate the magnitude; one more than INT32_MAX is allowed for a negative number.
  const int64_t limit = negative ? int64_t{2147483648} : int64_t{2147483647};
  int64_t magnitude = 0;
  int digits = 0;
  for (; i < length; ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return ParsedNumber{0, i + 1};
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return ParsedNumber{0, i + 1};
    ++digits;
  }
  if (digits == 0) return ParsedNumber{0, length + 1};
  return ParsedNumber{static_cast<int32_t>(negative ? -magnitude : magnitude), 0};
}
