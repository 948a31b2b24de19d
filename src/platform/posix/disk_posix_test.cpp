#include "platform/disk.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>

#include "platform/posix/test_support_posix.h"

namespace {

// The expected figure, taken by hand from the file system of `path`.
int32_t FreeBytesOf(const std::filesystem::path& path) {
  struct statvfs volume;
  if (statvfs(path.c_str(), &volume) != 0) return -2;
  const unsigned long long bytes =
      static_cast<unsigned long long>(volume.f_bavail) * volume.f_frsize;
  return bytes > 2147483647ull ? 2147483647 : static_cast<int32_t>(bytes);
}

using FreeDiskBytesTest = DriveLayoutTest;

TEST_F(FreeDiskBytesTest, DrivesByNumber) {
  const std::filesystem::path d = AddDrive('d', folder() / "d");
  std::filesystem::current_path(d);
  const int32_t expected = FreeBytesOf(d);
  ASSERT_GT(expected, 0);
  EXPECT_EQ(FreeDiskBytes(4), expected);
  EXPECT_EQ(FreeDiskBytes(0), expected);  // the current drive is D:
  EXPECT_EQ(FreeDiskBytes(3), -1);        // no C: in this table
  EXPECT_EQ(FreeDiskBytes(26), -1);
  EXPECT_EQ(FreeDiskBytes(27), -1);
  EXPECT_EQ(FreeDiskBytes(-1), -1);
}

TEST(FreeDiskBytes, WithoutATableOnlyCExists) {
  ScopedEnvironment noDrives("TARSEL_DRIVES", nullptr);
  EXPECT_EQ(FreeDiskBytes(3), FreeBytesOf("/"));
  EXPECT_EQ(FreeDiskBytes(4), -1);
  EXPECT_EQ(FreeDiskBytes(1), -1);
}

}  // namespace
