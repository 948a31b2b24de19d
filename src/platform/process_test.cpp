// The Windows command-line rules of CommandArgument, on whole command lines.
#include <gtest/gtest.h>

#include <string>

#include "platform/process.h"
#include "platform/win32/command_line_win32.h"

namespace {

struct ArgumentCase {
  const char* commandLine;
  int n;
  const char* expected;
};

TEST(CommandLine, ArgumentsFromWholeCommandLines) {
  const ArgumentCase cases[] = {
      {"tarsel.exe -divx -xvid", 1, "-divx"},
      {"tarsel.exe -divx -xvid", 2, "-xvid"},
      {"tarsel.exe -divx -xvid", 3, ""},
      {"tarsel.exe -divx", 0, ""},
      {"tarsel.exe -divx", -1, ""},
      {"tarsel.exe", 1, ""},
      {"", 1, ""},
      // The program's name goes whole, also quoted with blanks in it.
      {"\"C:\\Program Files\\Tarsel\\tarsel.exe\" -all", 1, "-all"},
      {"\"C:\\Program Files\\Tarsel\\tarsel.exe\" -all", 2, ""},
      {"\"C:\\a b\"\\tarsel.exe -dv", 1, "-dv"},
      {"\"C:\\Program Files\\tarsel.exe", 1, ""},
      // Quotes open stretches in which blanks belong to the argument; they are dropped.
      {"t \"a b\" c", 1, "a b"},
      {"t \"a b\" c", 2, "c"},
      {"t x\"y z\"w v", 1, "xy zw"},
      {"t x\"y z\"w v", 2, "v"},
      {"t \"open to the end", 1, "open to the end"},
      {"t a\"\"b", 1, "ab"},
      // Empty quote pairs and every character from 1 to 32 separate arguments.
      {"t \"\" a", 1, "a"},
      {"t \"\"\"\" a", 1, "a"},
      {"t \"\"", 1, ""},
      {"t\t-divx\t\t-wmv9", 2, "-wmv9"},
      {"t \x01-a\x1f-b", 1, "-a"},
      {"t \x01-a\x1f-b", 2, "-b"},
      {"t    -mpeg1   ", 1, "-mpeg1"},
      {"t    -mpeg1   ", 2, ""},
      // Bytes above 127 are ordinary characters.
      {"t \xe4\xf6", 1, "\xe4\xf6"},
  };
  for (const ArgumentCase& c : cases) {
    SCOPED_TRACE(std::string(c.commandLine) + " #" + std::to_string(c.n));
    EXPECT_EQ(ArgumentOfCommandLine(c.commandLine, c.n), ShortText(c.expected));
  }
}

TEST(CommandLine, LongArgumentsAreCutAt255AndTheNextOneStillFound) {
  const std::string line = "t " + std::string(300, 'a') + " b \"" + std::string(260, 'q') + "\" c";
  EXPECT_EQ(ArgumentOfCommandLine(line, 1), ShortText(std::string(255, 'a')));
  EXPECT_EQ(ArgumentOfCommandLine(line, 2), ShortText("b"));
  EXPECT_EQ(ArgumentOfCommandLine(line, 3), ShortText(std::string(255, 'q')));
  EXPECT_EQ(ArgumentOfCommandLine(line, 4), ShortText("c"));
}

TEST(CommandLine, LineEndsAtItsFirstNul) {
  const std::string line("t a\0b c", 7);
  EXPECT_EQ(ArgumentOfCommandLine(line, 1), ShortText("a"));
  EXPECT_EQ(ArgumentOfCommandLine(line, 2), ShortText(""));
}

}  // namespace
