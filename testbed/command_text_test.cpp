#include "command_text.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(SplitArgumentsTest, FollowsTheWindowsRules) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  } cases[] = {
      {"", {}},
      {"   \t ", {}},
      {"-y -pvbkwhtdnpo", {"-y", "-pvbkwhtdnpo"}},
      {"  a   b  ", {"a", "b"}},
      {"\"C:\\Program Files\\x.cpf\" /y", {"C:\\Program Files\\x.cpf", "/y"}},
      {"a\"b c\"d e", {"ab cd", "e"}},
      {"\"\" a \"\"", {"a"}},
      {"\"open to the end", {"open to the end"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitArguments(c.text), c.items) << c.text;
}

TEST(TakeTrimmedLineTest, TakesOneLineAtATime) {
  std::string_view text = " a b \r\n\n\tlast\t";
  EXPECT_EQ(TakeTrimmedLine(text), "a b");
  EXPECT_EQ(text, "\n\tlast\t");
  EXPECT_EQ(TakeTrimmedLine(text), "");
  EXPECT_EQ(TakeTrimmedLine(text), "last");
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(TakeTrimmedLine(text), "");
  EXPECT_TRUE(text.empty());
}

TEST(ProgramRoleTest, TakesTheLastPartInLowerCaseWithoutExe) {
  EXPECT_EQ(ProgramRole("C:\\WINDOWS\\system32\\CMD.EXE"), "cmd");
  EXPECT_EQ(ProgramRole("D:\\Program Files\\nnCron\\\\nncron.exe"), "nncron");
  EXPECT_EQ(ProgramRole("/tmp/build/tarsel-standin"), "tarsel-standin");
  EXPECT_EQ(ProgramRole("zentravotemppack.exe"), "zentravotemppack");
  EXPECT_EQ(ProgramRole("006.exe"), "006");
  EXPECT_EQ(ProgramRole(".exe"), ".exe");
}

TEST(WindowsPathPartsTest, DirectoryBaseNameAndJoin) {
  EXPECT_EQ(DirectoryOf("C:\\TEMP\\004.nnc"), "C:\\TEMP");
  EXPECT_EQ(DirectoryOf("C:\\004.nnc"), "C:\\");
  EXPECT_EQ(DirectoryOf("004.nnc"), "");
  EXPECT_EQ(DirectoryOf("a/b"), "a");
  EXPECT_EQ(BaseName("C:\\TEMP\\004.nnc"), "004.nnc");
  EXPECT_EQ(BaseName("C:x"), "x");
  EXPECT_EQ(JoinWindowsPath("C:\\TEMP", "004.done"), "C:\\TEMP\\004.done");
  EXPECT_EQ(JoinWindowsPath("C:\\", "x"), "C:\\x");
  EXPECT_EQ(JoinWindowsPath("c:\\dir\\", "x"), "c:\\dir\\x");
  EXPECT_EQ(JoinWindowsPath("", "x"), "x");
  EXPECT_EQ(JoinWindowsPath("C:\\TEMP", "D:\\full"), "D:\\full");
  EXPECT_EQ(JoinWindowsPath("C:\\TEMP", "\\root"), "\\root");
}

TEST(SplitProgramCallTest, FindsThePathAsWindowsDoes) {
  const std::set<std::string> files = {
      "C:\\TEMP\\timer.exe", "D:\\Program Files\\Mainconcept\\\\mcmpgenc.exe", "C:\\Program.exe",
      "C:\\Program Files\\nnCron\\nncron.exe", "C:\\tools\\run"};
  const auto isFile = [&](const std::string& path) { return files.count(path) != 0; };
  struct Case {
    const char* line;
    const char* program;
    const char* arguments;
  } cases[] = {
      {"C:\\TEMP\\timer.exe C:\\TEMP\\vdubm.exe /sC:\\TEMP\\001.dat /x", "C:\\TEMP\\timer.exe",
       "C:\\TEMP\\vdubm.exe /sC:\\TEMP\\001.dat /x"},
      {"D:\\Program Files\\Mainconcept\\\\mcmpgenc.exe C:\\TEMP\\004.mes",
       "D:\\Program Files\\Mainconcept\\\\mcmpgenc.exe", "C:\\TEMP\\004.mes"},
      // The shortest prefix that is a file wins, as on Windows.
      {"C:\\Program Files\\nnCron\\nncron.exe -runfile x", "C:\\Program.exe",
       "Files\\nnCron\\nncron.exe -runfile x"},
      {"\"C:\\Program Files\\nnCron\\nncron.exe\" -runfile x",
       "C:\\Program Files\\nnCron\\nncron.exe", "-runfile x"},
      {"C:\\tools\\run", "C:\\tools\\run", ""},
      {"  C:\\TEMP\\timer.exe   ", "C:\\TEMP\\timer.exe", ""},
      {"missing.exe -y", "missing.exe", "-y"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    const ProgramCall call = SplitProgramCall(c.line, isFile);
    EXPECT_EQ(call.program, c.program) << c.line;
    EXPECT_EQ(call.arguments, c.arguments) << c.line;
  }
}

TEST(SplitRedirectionTest, TakesTheTargetOut) {
  struct Case {
    const char* line;
    bool ok;
    const char* command;
    const char* target;
    bool append;
  } cases[] = {
      {"net stop nncron > nul", true, "net stop nncron", "nul", false},
      {"C:\\t\\timer.exe x /s y /x > 001.log", true, "C:\\t\\timer.exe x /s y /x", "001.log",
       false},
      {"echo hi >>log.txt", true, "echo hi", "log.txt", true},
      {"echo a > \"my log\" b", true, "echo a  b", "my log", false},
      {"copy \"a>b\" c", true, "copy \"a>b\" c", "", false},
      {"no redirection", true, "no redirection", "", false},
      {"echo >", false, "", "", false},
      {"echo > a > b", false, "", "", false},
  };
  for (const Case& c : cases) {
    RedirectedCommand result;
    ASSERT_EQ(SplitRedirection(c.line, result), c.ok) << c.line;
    if (!c.ok) continue;
    EXPECT_EQ(result.command, c.command) << c.line;
    EXPECT_EQ(result.target, c.target) << c.line;
    EXPECT_EQ(result.append, c.append) << c.line;
  }
}

TEST(NullDeviceTest, AnyCaseWithOrWithoutColon) {
  EXPECT_TRUE(IsNullDeviceName("nul"));
  EXPECT_TRUE(IsNullDeviceName("NUL"));
  EXPECT_TRUE(IsNullDeviceName("Nul:"));
  EXPECT_FALSE(IsNullDeviceName("null"));
  EXPECT_FALSE(IsNullDeviceName("nul.txt"));
}

}  // namespace
