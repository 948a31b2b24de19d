// For the unit tests of the run: a temporary folder that is the current directory
// during one test, and a fresh run record.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/directories.h"
#include "platform/io_result.h"
#include "platform/short_text.h"
#include "run/run_state.h"

class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    savedDirectory_ = std::filesystem::current_path();
    std::random_device random;
    do {
      folder_ = std::filesystem::temp_directory_path() /
                ("tarsel-run-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(folder_));
    std::filesystem::current_path(folder_);
    runState = RunState{};
    TakeIoResult();
  }

  void TearDown() override {
    std::filesystem::current_path(savedDirectory_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    runState = RunState{};
    TakeIoResult();
  }

  /// A folder inside the test's folder, created.
  std::filesystem::path MakeFolder(const std::string& name) {
    const std::filesystem::path path = folder_ / name;
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

  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path savedDirectory_;
  std::filesystem::path folder_;
};
