// For POSIX unit tests only: drive layouts for TARSEL_DRIVES, the environment, and
// running this test binary again as a child process (see tests/unit_main.cpp).
#pragma once

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/test_support.h"

extern char** environ;

/// Sets or clears an environment variable and puts back its old state on destruction.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

/// A temporary folder with its own drive table: "drives" holds the entries "c:", "d:"
/// ... that TARSEL_DRIVES names for the test's lifetime.
class DriveLayoutTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    std::filesystem::create_directory(folder() / "drives");
    drives_.emplace("TARSEL_DRIVES", (folder() / "drives").c_str());
  }
  void TearDown() override {
    drives_.reset();
    TempFolderTest::TearDown();
  }

  /// Makes drive `letter` (lower case) a link to `root`, created when missing.
  std::filesystem::path AddDrive(char letter, const std::filesystem::path& root) {
    std::filesystem::create_directories(root);
    std::filesystem::create_directory_symlink(root, folder() / "drives" / std::string{letter, ':'});
    return root;
  }

 private:
  std::optional<ScopedEnvironment> drives_;
};

/// The host path of this test binary.
inline std::string TestBinaryPath() {
  return std::filesystem::read_symlink("/proc/self/exe");
}

/// Starts this test binary with the given arguments after argv[0]; returns its pid.
inline pid_t SpawnTestBinary(const std::vector<std::string>& arguments) {
  const std::string binary = TestBinaryPath();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(binary.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t child = -1;
  if (posix_spawn(&child, binary.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return child;
}

/// Waits for the child and returns its exit status (-1 when it did not exit normally).
inline int WaitForTestChild(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Polls for a file that another process creates; false after ten seconds without it.
inline bool AwaitFile(const std::filesystem::path& path) {
  for (int i = 0; i < 1000; ++i) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
