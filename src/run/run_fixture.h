// For the unit tests of the run: a temporary folder that is the current directory
// during one test, and a fresh run record.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/directories.h"
#include "platform/short_text.h"
#include "platform/test_support.h"
#include "run/run_state.h"

class RunFixture : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    runState = RunState{};
  }

  void TearDown() override {
    TempFolderTest::TearDown();
    runState = RunState{};
  }

  /// A folder inside the test's folder, created.
  std::filesystem::path MakeFolder(const std::string& name) {
    const std::filesystem::path path = folder() / name;
    std::filesystem::create_directories(path);
    return path;
  }

  static void MakeFile(const std::filesystem::path& path) { std::ofstream(path) << "x"; }

  static bool Exists(const std::filesystem::path& path) { return std::filesystem::exists(path); }

  /// The path as the program sees it ("C:\...").
  static ShortText ProgramPathOf(const std::filesystem::path& path) {
    const std::filesystem::path current = std::filesystem::current_path();
    std::filesystem::current_path(path);
    const ShortText text = GetCurrentDirectoryPath();
    std::filesystem::current_path(current);
    return text;
  }
};

/// A run that starts in the test's folder, which is its work directory too.
class RunInFolderFixture : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    runState.startDir = ProgramPathOf(folder());
    runState.tempDir = runState.startDir;
  }
};

/// A run whose work directory and programs lie at short, known places, for the tests of
/// the command texts built from them.
class CommandTextFixture : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    runState.tempDir = "C:\\W";
    runState.mainconceptDir = "D:\\Mainconcept\\";
    runState.cceDir = "D:\\CCE\\";
    runState.nncronDir = "C:\\nnCron\\";
    runState.procoderDir = "C:\\Program Files\\Canopus\\ProCoder\\";
  }
};
