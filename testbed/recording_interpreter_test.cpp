// The two stand-ins that put a real system between the program and the machine (Wine):
// the recording interpreter "cmdlog", which records a command and hands it on, and the
// launcher, which gives the program the machine's environment. Started as the program
// starts programs, on a drive C: with both stand-ins and the interpreter stand-in.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/process.h"
#include "platform/short_text.h"
#include "platform/test_support.h"

namespace fs = std::filesystem;

namespace {

class RecordingInterpreterTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_directories(folder() / "drives/c:/tools");
    fs::create_directories(folder() / "drives/c:/Start Here");
    fs::create_directories(folder() / "testbed");
    for (const char* name : {"cmdlog", "cmd.exe", "launch.exe"}) {
      fs::copy_file(TARSEL_STANDIN, folder() / "drives/c:/tools" / name);
    }
    setenv("TARSEL_DRIVES", (folder() / "drives").c_str(), 1);
    setenv("TARSEL_TESTBED", (folder() / "testbed").c_str(), 1);
    fs::current_path(folder() / "drives/c:/Start Here");
    SetRunMode(RunMode::WaitForExit);
  }

  void TearDown() override {
    unsetenv("TARSEL_DRIVES");
    unsetenv("TARSEL_TESTBED");
    TempFolderTest::TearDown();
  }

  void WriteMachineFile(const std::string& name, const std::string& text) const {
    std::ofstream(folder() / "testbed" / name, std::ios::binary) << text;
  }

  std::string ReadMachineFile(const std::string& name) const {
    return ReadBytes(folder() / "testbed" / name);
  }

  static void Start(const char* program, const std::string& arguments) {
    ASSERT_EQ(RunProgram(ShortText(program), ShortText(arguments)), 0);
  }
};

TEST_F(RecordingInterpreterTest, RecordsTheCommandThenHandsItOnUnchanged) {
  WriteMachineFile("controls.ini", "interpreter=C:\\tools\\cmd.exe\r\n");
  Start("C:\\tools\\cmdlog", "/c echo one  two > \"out put.txt\"");
  // The first line is the recorder's, the second the interpreter stand-in's own: the
  // same text in the same directory.
  EXPECT_EQ(ReadMachineFile("commands.log"),
            "C:\\Start Here\t/c echo one  two > \"out put.txt\"\n"
            "C:\\Start Here\t/c echo one  two > \"out put.txt\"\n");
  EXPECT_EQ(ReadBytes("out put.txt"), "one  two\n");
  EXPECT_EQ(ReadMachineFile("interpreter-errors.log"), "");
}

TEST_F(RecordingInterpreterTest, TheInterpretersErrorsGoToTheMachineFolder) {
  WriteMachineFile("controls.ini", "interpreter=C:\\tools\\cmd.exe\r\n");
  Start("C:\\tools\\cmdlog", "/c echo x > Q:\\nowhere\\f.txt");
  Start("C:\\tools\\cmdlog", "/c echo x > Q:\\nowhere\\g.txt");
  EXPECT_EQ(ReadMachineFile("interpreter-errors.log"),
            "The system cannot find the path specified.\n"
            "The system cannot find the path specified.\n");
}

TEST_F(RecordingInterpreterTest, WithoutAnInterpreterOnlyTheRecordIsMade) {
  for (const char* controls : {"", "interpreter=C:\\tools\\missing.exe\r\n"}) {
    SCOPED_TRACE(controls);
    WriteMachineFile("controls.ini", controls);
    fs::remove(folder() / "testbed/commands.log");
    Start("C:\\tools\\cmdlog", "/c echo x > out.txt");
    EXPECT_EQ(ReadMachineFile("commands.log"), "C:\\Start Here\t/c echo x > out.txt\n");
    EXPECT_FALSE(fs::exists("out.txt"));
  }
}

TEST_F(RecordingInterpreterTest, LauncherSetsEmptiesAndRemovesVariables) {
  std::ofstream(folder() / "drives/c:/tools/show") << "#!/bin/sh\nenv > environment.txt\n";
  fs::permissions(folder() / "drives/c:/tools/show", fs::perms::owner_all);
  WriteMachineFile("environment.ini",
                   "; the machine's environment\r\n"
                   "TEMP=C:\\Temp\r\n"
                   "APPDATA=\r\n"
                   "OS\r\n");
  setenv("OS", "Linux", 1);
  setenv("APPDATA", "/root", 1);
  Start("C:\\tools\\launch.exe", "C:\\tools\\show");
  unsetenv("OS");
  unsetenv("APPDATA");
  // Appended: GCC 12 at -O3 warns falsely of "literal" + std::string.
  std::string environment = "\n";
  environment += ReadBytes("environment.txt");
  EXPECT_NE(environment.find("\nTEMP=C:\\Temp\n"), std::string::npos) << environment;
  EXPECT_NE(environment.find("\nAPPDATA=\n"), std::string::npos) << environment;
  EXPECT_EQ(environment.find("\nOS="), std::string::npos) << environment;
}

}  // namespace
