#include "interpreter.h"

#include <gtest/gtest.h>

namespace {

using Kind = InterpreterCommand::Kind;

TEST(InterpreterParseTest, ReadsTheProgramsCommands) {
  struct Case {
    const char* arguments;
    Kind kind;
    std::vector<std::string> operands;
    const char* target;
  } cases[] = {
      {"/c net stop nncron > nul", Kind::NetStop, {"nncron"}, "nul"},
      {"/c rd /s /q c:\\zentravo-kelv-tarsel-testdir > nul",
       Kind::RemoveDirectory,
       {"c:\\zentravo-kelv-tarsel-testdir"},
       "nul"},
      {"/c copy /y pack.001 C:\\TEMP\\zentravotemppack.exe > nul",
       Kind::Copy,
       {"pack.001", "C:\\TEMP\\zentravotemppack.exe"},
       "nul"},
      {"/c copy /y test.mpg nul > nul", Kind::Copy, {"test.mpg", "nul"}, "nul"},
      {"/c copy /y C:\\T\\006.dat \"C:\\Program Files\\P\\\\Plugins\\User "
       "Presets\\fdst_highest.cpf\" > nul",
       Kind::Copy,
       {"C:\\T\\006.dat", "C:\\Program Files\\P\\\\Plugins\\User Presets\\fdst_highest.cpf"},
       "nul"},
      {"/C COPY/Y a b", Kind::Copy, {"a", "b"}, ""},
      {"/c zentravotemppack.exe -y -pvbkwhtdnpo > nul",
       Kind::Program,
       {"zentravotemppack.exe -y -pvbkwhtdnpo"},
       "nul"},
      {"/c C:\\T\\timer.exe C:\\T\\vdubm.exe /sC:\\T\\001.dat /x > 001.log",
       Kind::Program,
       {"C:\\T\\timer.exe C:\\T\\vdubm.exe /sC:\\T\\001.dat /x"},
       "001.log"},
      {"/c C:\\WINDOWS\\system32\\notepad.exe zentravo-kelv-tarsel.log",
       Kind::Program,
       {"C:\\WINDOWS\\system32\\notepad.exe zentravo-kelv-tarsel.log"},
       ""},
      {"/q /d /c echo  hello", Kind::Echo, {"hello"}, ""},
      {"/c", Kind::Nothing, {}, ""},
      {"no switch at all", Kind::Nothing, {}, ""},
  };
  for (const Case& c : cases) {
    InterpreterCommand command;
    std::string error;
    ASSERT_TRUE(ParseInterpreterArguments(c.arguments, command, error))
        << c.arguments << ": " << error;
    EXPECT_EQ(command.kind, c.kind) << c.arguments;
    EXPECT_EQ(command.operands, c.operands) << c.arguments;
    EXPECT_EQ(command.outputTarget, c.target) << c.arguments;
  }
}

TEST(InterpreterParseTest, RdKnowsWhetherToRemoveSubdirectories) {
  InterpreterCommand command;
  std::string error;
  ASSERT_TRUE(ParseInterpreterArguments("/c rd /S /Q dir", command, error));
  EXPECT_TRUE(command.subdirectories);
  ASSERT_TRUE(ParseInterpreterArguments("/c rmdir dir", command, error));
  EXPECT_FALSE(command.subdirectories);
}

TEST(InterpreterParseTest, RejectsWhatWindowsRejects) {
  const char* rejected[] = {
      // An unquoted target with blanks gives copy three names.
      "/c copy /y pack.001 C:\\Documents and Settings\\x.exe > nul",
      "/c copy /y",
      "/c rd /s /q",
      "/c net start nncron",
      "/c net stop",
      "/c echo > ",
  };
  for (const char* arguments : rejected) {
    InterpreterCommand command;
    std::string error;
    EXPECT_FALSE(ParseInterpreterArguments(arguments, command, error)) << arguments;
    EXPECT_FALSE(error.empty()) << arguments;
  }
}

}  // namespace
