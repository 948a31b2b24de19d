#include "platform/startup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/directories.h"
#include "platform/posix/test_support_posix.h"
#include "platform/process.h"

namespace {

using StartPlatformTest = DriveLayoutTest;

TEST_F(StartPlatformTest, RefusesACurrentDirectoryOnNoDrive) {
  AddDrive('c', folder() / "c");
  char program[] = "zentravo-kelv-tarsel";
  char option[] = "-divx";
  char* argv[] = {program, option, nullptr};

  // The start folder itself lies outside every drive.
  const int errors = open("errors.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  const int savedErrors = dup(STDERR_FILENO);
  dup2(errors, STDERR_FILENO);
  const bool started = StartPlatform(2, argv);
  dup2(savedErrors, STDERR_FILENO);
  close(savedErrors);
  close(errors);
  EXPECT_FALSE(started);
  const std::string message = ReadBytes("errors.txt");
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
  EXPECT_EQ(message.back(), '\n');

  std::filesystem::current_path(folder() / "c");
  EXPECT_TRUE(StartPlatform(2, argv));
  EXPECT_EQ(CommandArgument(1).view(), "-divx");
}

TEST_F(StartPlatformTest, ARelativeDriveTableStaysWhereTheProgramStarted) {
  AddDrive('c', folder() / "c");
  std::filesystem::create_directory(folder() / "c" / "sub");
  std::filesystem::current_path(folder() / "c");
  ScopedEnvironment relative("TARSEL_DRIVES", "../drives");
  char program[] = "zentravo-kelv-tarsel";
  char* argv[] = {program, nullptr};
  ASSERT_TRUE(StartPlatform(1, argv));
  EXPECT_EQ(getenv("TARSEL_DRIVES")[0], '/');
  // Taken from here, "../drives" would be a folder that does not exist.
  std::filesystem::current_path(folder() / "c" / "sub");
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "C:\\sub");
}

}  // namespace
