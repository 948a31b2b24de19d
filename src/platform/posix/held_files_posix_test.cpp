#include "platform/posix/held_files_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/directories.h"
#include "platform/io_result.h"
#include "platform/posix/test_support_posix.h"
#include "platform/raw_file.h"

namespace {

namespace fs = std::filesystem;

class HeldFilesTest : public TempFolderTest {
 protected:
  // Starts a child that keeps `name` open until told to let go.
  pid_t StartHolder(const std::string& name) {
    const pid_t child = SpawnTestBinary({"--child", "hold", name, "30"});
    EXPECT_GT(child, 0);
    EXPECT_TRUE(AwaitFile(name + ".ready"));
    return child;
  }
  void Release(pid_t child, const std::string& name) {
    WriteBytes(name + ".release", "");
    EXPECT_EQ(WaitForTestChild(child), 0);
  }
};

TEST_F(HeldFilesTest, AnotherProcessHoldingTheFileBlocksOpenAndDelete) {
  WriteBytes("clip.avi", "data");
  const pid_t child = StartHolder("clip.avi");
  RawFile file;
  OpenForReading(file, "clip.avi");
  EXPECT_FALSE(file.isOpen);
  EXPECT_EQ(TakeIoResult(), kIoSharingViolation);
  EXPECT_FALSE(RemoveFile("clip.avi"));
  EXPECT_TRUE(fs::exists("clip.avi"));
  Release(child, "clip.avi");

  OpenForReading(file, "clip.avi");
  EXPECT_TRUE(file.isOpen);
  EXPECT_EQ(FileLength(file), 4);
  CloseFile(file);
  EXPECT_EQ(TakeIoResult(), 0);
  EXPECT_TRUE(RemoveFile("clip.avi"));
  EXPECT_FALSE(fs::exists("clip.avi"));
}

TEST_F(HeldFilesTest, ProcScanFindsOtherProcessesAndOwnDescriptors) {
  WriteBytes("held.bin", "x");
  const int fd = open("held.bin", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(FileHeldElsewhereByScan(fd));  // its own descriptor does not count

  const int other = open("held.bin", O_WRONLY | O_CLOEXEC);
  EXPECT_TRUE(FileHeldElsewhereByScan(fd));
  EXPECT_TRUE(FileHeldElsewhere(fd));
  close(other);
  EXPECT_FALSE(FileHeldElsewhereByScan(fd));
  EXPECT_FALSE(FileHeldElsewhere(fd));

  const pid_t child = StartHolder("held.bin");
  EXPECT_TRUE(FileHeldElsewhereByScan(fd));
  EXPECT_TRUE(FileHeldElsewhere(fd));
  Release(child, "held.bin");
  EXPECT_FALSE(FileHeldElsewhereByScan(fd));
  close(fd);
}

TEST_F(HeldFilesTest, RefusedLeaseFallsBackToTheScan) {
  // The kernel grants leases on regular files only, so a FIFO takes the other way.
  ASSERT_EQ(mkfifo("pipe", 0600), 0);
  const int fd = open("pipe", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(FileHeldElsewhere(fd));
  const int other = open("pipe", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_TRUE(FileHeldElsewhere(fd));
  close(other);
  close(fd);
}

TEST(LeaseBreakHandler, SigioIsHandledNotIgnored) {
  // StartPlatform, run by the test binary's main, installed it.
  struct sigaction current;
  ASSERT_EQ(sigaction(SIGIO, nullptr, &current), 0);
  EXPECT_NE(current.sa_handler, SIG_IGN);
  EXPECT_NE(current.sa_handler, SIG_DFL);
  // Would end the test binary if the handler were missing.
  raise(SIGIO);
}

}  // namespace
