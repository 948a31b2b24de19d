#include "platform/short_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ShortText, ConcatenationKeepsTheFirst255Characters) {
  const ShortText joined = ShortText(std::string(200, 'a')) + ShortText(std::string(100, 'b'));
  EXPECT_EQ(joined.length(), 255);
  EXPECT_EQ(joined.view(), std::string(200, 'a') + std::string(55, 'b'));
  // Once full, a chain of concatenations adds nothing more.
  EXPECT_EQ((joined + ShortText("c")).view(), joined.view());
  EXPECT_EQ(ShortText(std::string(300, 'x')).length(), 255);
}

TEST(ShortText, SubstringAndPositionEdges) {
  EXPECT_EQ(Substring("hello", 0, 2).view(), "he");
  EXPECT_EQ(Substring("hello", 6, 2).view(), "");
  EXPECT_EQ(Substring("hello", 4, 10).view(), "lo");
  EXPECT_EQ(Substring("hello", 2, -1).view(), "");
  EXPECT_EQ(PositionOf("l", "hello"), 3);
  EXPECT_EQ(PositionOf("", "hello"), 0);
  EXPECT_EQ(PositionOf("x", "hello"), 0);
  EXPECT_EQ(NumberToText(-2147483648LL).view(), "-2147483648");
}

TEST(ShortText, EightBitCharacters) {
  // Only A-Z are lowered: neither Latin-1 capitals nor the neighbours of the letters.
  EXPECT_EQ(LowerCase("-D\xC9VX\xDE").view(), "-d\xC9vx\xDE");
  EXPECT_EQ(LowerCase("@AZ[`az{").view(), "@az[`az{");
  EXPECT_EQ(LowerCase("\x80\xC1\xDA\xE1\xFF").view(), "\x80\xC1\xDA\xE1\xFF");
  // Compared apart from case, likewise only A-Z fold.
  EXPECT_TRUE(SameIgnoringCase("Test.MPG", "test.mpg"));
  EXPECT_FALSE(SameIgnoringCase("\xC9", "\xE9"));
  EXPECT_FALSE(SameIgnoringCase("@[", "`{"));
  EXPECT_FALSE(SameIgnoringCase("ab", "abc"));
  // Byte order is unsigned: every 8-bit character sorts after every ASCII one.
  EXPECT_LT(ShortText("z"), ShortText("\xE9"));
  EXPECT_LT(ShortText("\x7F"), ShortText("\x80"));
  EXPECT_LT(ShortText("\xFE"), ShortText("\xFF"));
  EXPECT_NE(ShortText("\xC9"), ShortText("\xE9"));
  EXPECT_EQ(PositionOf("\xFF", "ab\xFF\xFF"), 3);
  EXPECT_EQ(Substring("\xE9t\xE9", 2, 5).view(), "t\xE9");
  // A cut keeps exactly 255 bytes, whatever they are, and the text stays terminated.
  const ShortText full(std::string(300, '\xFF'));
  EXPECT_EQ(full.view(), std::string(255, '\xFF'));
  EXPECT_EQ(full.c_str()[255], '\0');
  const ShortText joined =
      ShortText(std::string(250, '\xE9')) + ShortText("\xC9\xC9\xC9\xC9\xC9\xC9");
  EXPECT_EQ(joined.view(), std::string(250, '\xE9') + std::string(5, '\xC9'));
  EXPECT_EQ(LowerCase(joined), joined);
}

TEST(ShortText, TextsThatHoldNulBytes) {
  const ShortText text(std::string_view("a\0b", 3));
  EXPECT_EQ(text.length(), 3);
  EXPECT_EQ(LowerCase(std::string_view("A\0B", 3)).view(), std::string_view("a\0b", 3));
  EXPECT_NE(text, ShortText("a"));
  EXPECT_EQ(PositionOf("b", text), 3);
}

struct NumberCase {
  const char* text;
  int32_t value;
  int position;
};

TEST(ShortText, TextToNumber) {
  constexpr NumberCase kCases[] = {
      {"$1F", 31, 0},
      {"$1f", 31, 0},
      {"-12", -12, 0},
      {"+12", 12, 0},
      {" 7", 7, 0},
      {"7 ", 0, 2},
      {"", 0, 1},
      {"   ", 0, 4},
      {"-", 0, 2},
      {"$", 0, 2},
      {"4x2", 0, 2},
      {"12$", 0, 3},
      {"$G", 0, 2},
      {"2147483647", 2147483647, 0},
      {"-2147483648", INT32_MIN, 0},
      {"2147483648", 0, 10},
      {"-2147483649", 0, 11},
      {"$7FFFFFFF", 2147483647, 0},
      {"$FFFFFFFF", 0, 9},
      {"99999999999999999999", 0, 10},
      {"00000000002147483647", 2147483647, 0},
      {"-$80000000", INT32_MIN, 0},
      {"$80000000", 0, 9},
      {"1\xE9", 0, 2},
      {"\xFF-7", 0, 1},
      {"$\xC1", 0, 2},
      {"- 5", 0, 2},
      {"+-5", 0, 2},
      {"$-5", 0, 2},
      {"\t7", 0, 1},
  };
  for (const NumberCase& c : kCases) {
    const ParsedNumber parsed = TextToNumber(c.text);
    EXPECT_EQ(parsed.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(parsed.position, c.position) << '"' << c.text << '"';
  }
}

}  // namespace
