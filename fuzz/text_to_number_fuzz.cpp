// Fuzzes the reader of numbers in texts (file-list sizes, activity figures). The
// input's first 255 bytes are one text; the answer is checked against an oracle that
// reads the digits with std::from_chars, and the value that the input's first bytes
// make goes round through NumberToText and a "$" hexadecimal text.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/short_text.h"

namespace {

bool IsDigitOf(char c, int base) {
  if (c >= '0' && c <= '9') return true;
  return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// What the text must read as: blanks, a sign, "$" for base 16, then nothing but
// digits of the base, at least one; the magnitude may reach 2147483647, or 2147483648
// after a "-". A text that fails gives the 1-based index of the first character that
// does not fit, the digit that leaves the range, or one past the end when the text
// ends before its first digit.
ParsedNumber Oracle(std::string_view text) {
  const int length = static_cast<int>(text.size());
  size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) return {0, length + 1};
  bool negative = false;
  if (text[at] == '+' || text[at] == '-') negative = text[at++] == '-';
  int base = 10;
  if (at < text.size() && text[at] == '$') {
    base = 16;
    ++at;
  }
  if (at == text.size()) return {0, length + 1};
  size_t end = at;
  while (end < text.size() && IsDigitOf(text[end], base)) ++end;
  const uint64_t limit = negative ? 2147483648u : 2147483647u;
  // A run that leaves the range fails at the first digit that takes it out.
  for (size_t stop = at + 1; stop <= end; ++stop) {
    uint64_t prefix = 0;
    const std::from_chars_result read =
        std::from_chars(text.data() + at, text.data() + stop, prefix, base);
    if (read.ec == std::errc::result_out_of_range || prefix > limit) {
      return {0, static_cast<int>(stop)};
    }
  }
  if (end == at || end != text.size()) return {0, static_cast<int>(end) + 1};
  uint64_t magnitude = 0;
  std::from_chars(text.data() + at, text.data() + end, magnitude, base);
  const int64_t value =
      negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return {static_cast<int32_t>(value), 0};
}

void ExpectSame(const ParsedNumber& got, const ParsedNumber& wanted) {
  if (got.value != wanted.value || got.position != wanted.position) std::abort();
}

std::string Hexadecimal(uint32_t magnitude) {
  char digits[8];
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, magnitude, 16);
  return std::string(digits, written.ptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const ShortText text(input);
  const ParsedNumber parsed = TextToNumber(text);
  ExpectSame(parsed, Oracle(text.view()));
  if (parsed.position < 0 || parsed.position > text.length() + 1) std::abort();
  if (parsed.position != 0 && parsed.value != 0) std::abort();

  // A blank in front shifts every failure by one place and changes no number.
  if (text.length() < ShortText::kCapacity) {
    const ParsedNumber shifted = TextToNumber(ShortText(" ") + text);
    ExpectSame(shifted, {parsed.value, parsed.position == 0 ? 0 : parsed.position + 1});
  }

  // Every 32-bit value reads back from its decimal and its "$" texts.
  int32_t value = 0;
  std::memcpy(&value, data, size < sizeof value ? size : sizeof value);
  ExpectSame(TextToNumber(NumberToText(value)), {value, 0});
  const bool negative = value < 0;
  const uint32_t magnitude =
      negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  ExpectSame(TextToNumber(ShortText((negative ? "-$" : "+$") + Hexadecimal(magnitude))),
             {value, 0});
  return 0;
}
