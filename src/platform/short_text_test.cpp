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
  };
  for (const NumberCase& c : kCases) {
    const ParsedNumber parsed = TextToNumber(c.text);
    EXPECT_EQ(parsed.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(parsed.position, c.position) << '"' << c.text << '"';
  }
}

}  // namespace
