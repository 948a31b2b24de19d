#include "platform/system_text.h"

#include "platform/backend_shared.h"

#include <gtest/gtest.h>

#include <string>

TEST(CheckedUtf8, ValidSequencesStayAndEveryInvalidByteBecomesOneReplacement) {
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  struct {
    std::string in, out;
  } const cases[] = {
      {"plain", "plain"},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // two-byte
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},            // three-byte
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},    // four-byte
      {"a\xE9z", "a" + r + "z"},                   // a Latin-1 byte alone
      {"\xC0\xAF", r + r},                         // overlong
      {"\xED\xA0\x80", r + r + r},                 // a surrogate
      {"\xF4\x90\x80\x80", r + r + r + r},         // past U+10FFFF
      {"\xE2\x82", r + r},                         // cut at the end
      {"\x80", r},                                 // a continuation byte alone
  };
  for (const auto& c : cases) {
    std::string out;
    AppendCheckedUtf8(c.in, out);
    EXPECT_EQ(out, c.out) << c.in;
  }
}

TEST(SystemText, AsciiIsUnchangedAndTheResultIsValidUtf8) {
  std::string out;
  AppendSystemTextAsUtf8("Pentium 4, 2 cores", out);
  EXPECT_EQ(out, "Pentium 4, 2 cores");
  // Every byte of an 8-bit set gives some character; whatever the system's set, the
  // result checks as UTF-8 unchanged.
  std::string all;
  for (int byte = 0x80; byte <= 0xFF; ++byte) all += static_cast<char>(byte);
  std::string converted;
  AppendSystemTextAsUtf8(all, converted);
  std::string checked;
  AppendCheckedUtf8(converted, checked);
  EXPECT_EQ(checked, converted);
  EXPECT_GE(converted.size(), all.size());
}
