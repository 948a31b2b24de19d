// UTF-8 checking and writing, shared by both backends' conversions.
#include "platform/system_text.h"

#include "platform/backend_shared.h"

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// The length of the valid UTF-8 sequence at the start of `bytes`; 0 when there is none.
size_t ValidSequenceLength(std::string_view bytes) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length;
  uint32_t low;  // the smallest code point of that length, to refuse overlong forms
  uint32_t value;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, low = 0x80, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, low = 0x800, value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, low = 0x10000, value = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  if (value < low || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

void AppendCodePoint(uint32_t codePoint, std::string& utf8) {
  if (codePoint < 0x80) {
    utf8 += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    utf8 += static_cast<char>(0xC0 | (codePoint >> 6));
    utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    utf8 += static_cast<char>(0xE0 | (codePoint >> 12));
    utf8 += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | (codePoint >> 18));
    utf8 += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    utf8 += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    utf8 += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

void AppendCheckedUtf8(std::string_view bytes, std::string& utf8) {
  while (!bytes.empty()) {
    const size_t length = ValidSequenceLength(bytes);
    if (length == 0) {
      AppendCodePoint(kReplacement, utf8);
      bytes.remove_prefix(1);
    } else {
      utf8.append(bytes.data(), length);
      bytes.remove_prefix(length);
    }
  }
}
