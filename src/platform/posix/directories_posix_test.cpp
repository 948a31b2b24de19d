#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/directories.h"
#include "platform/posix/test_support_posix.h"

namespace {

namespace fs = std::filesystem;

using DirectoriesPosixTest = TempFolderTest;

std::map<std::string, DirectoryEntry> Entries(const ShortText& pattern) {
  std::map<std::string, DirectoryEntry> entries;
  DirectorySearch search;
  DirectoryEntry entry;
  for (int32_t code = FindFirstEntry(pattern.view(), kEveryEntry, search, entry); code == 0;
       code = FindNextEntry(search, entry)) {
    entries[std::string(entry.name.view())] = entry;
  }
  return entries;
}

TEST_F(DirectoriesPosixTest, LinksAreClassifiedByTheirTargetAndLeaveTheTree) {
  fs::create_directory("real");
  WriteBytes("file.txt", "1234567");
  fs::create_directory_symlink("real", "dirlink");
  fs::create_symlink("file.txt", "filelink");
  fs::create_symlink("missing", "dangling");
  WriteBytes(".hidden", "");
  auto entries = Entries("*.*");
  ASSERT_EQ(entries.size(), 8u);
  EXPECT_NE(entries["dirlink"].attributes & kAttributeDirectory, 0);
  EXPECT_TRUE(entries["dirlink"].leavesTree);
  EXPECT_EQ(entries["filelink"].attributes & kAttributeDirectory, 0);
  EXPECT_TRUE(entries["filelink"].leavesTree);
  EXPECT_EQ(entries["filelink"].size, 7u);
  EXPECT_EQ(entries["dangling"].attributes & kAttributeDirectory, 0);
  EXPECT_NE(entries["real"].attributes & kAttributeDirectory, 0);
  EXPECT_FALSE(entries["real"].leavesTree);
  EXPECT_FALSE(entries["file.txt"].leavesTree);
  EXPECT_NE(entries[".hidden"].attributes & kAttributeHidden, 0);
  EXPECT_EQ(entries["."].attributes & kAttributeHidden, 0);
  EXPECT_NE(entries[".."].attributes & kAttributeDirectory, 0);
  // A link to a directory is never a file for a presence check.
  EXPECT_FALSE(FileIsPresent("dirlink"));
  EXPECT_TRUE(FileIsPresent("filelink"));
  EXPECT_TRUE(FileIsPresent("dangling"));
}

TEST_F(DirectoriesPosixTest, RemovingALinkRemovesTheLinkAlone) {
  fs::create_directory("real");
  WriteBytes("file.txt", "x");
  fs::create_directory_symlink("real", "dirlink");
  fs::create_symlink("file.txt", "filelink");
  EXPECT_FALSE(RemoveFile("dirlink"));
  EXPECT_TRUE(RemoveFile("filelink"));
  EXPECT_FALSE(fs::exists(fs::symlink_status("filelink")));
  EXPECT_TRUE(fs::exists("file.txt"));
}

TEST_F(DirectoriesPosixTest, SizeTimeAndReadOnlyOfALookedUpName) {
  WriteBytes("big.bin", "");
  fs::resize_file("big.bin", 4294967296u + 3);
  chmod("big.bin", 0444);
  DirectorySearch search;
  DirectoryEntry entry;
  ASSERT_EQ(FindFirstEntry("BIG.BIN", kEveryEntry, search, entry), 0);
  EXPECT_EQ(entry.name.view(), "big.bin");
  EXPECT_EQ(entry.size, 2147483647u);  // saturated, not wrapped to 3
  EXPECT_NE(entry.attributes & kAttributeReadOnly, 0);
  EXPECT_NE(entry.attributes & kAttributeArchive, 0);
  // Written just now: the DOS date lies in this century.
  EXPECT_GE(entry.time >> 25, 2000u - 1980u);
  EXPECT_NE(FindNextEntry(search, entry), 0);
}

TEST(DirectoriesPosix, MountedFileSystemsLeaveTheTree) {
  // /proc is its own file system below the host root, which is drive C: without a table.
  ScopedEnvironment noDrives("TARSEL_DRIVES", nullptr);
  auto entries = Entries("C:\\*.*");
  ASSERT_EQ(entries.count("proc"), 1u);
  EXPECT_NE(entries["proc"].attributes & kAttributeDirectory, 0);
  EXPECT_TRUE(entries["proc"].leavesTree);
  DirectorySearch search;
  DirectoryEntry entry;
  ASSERT_EQ(FindFirstEntry("c:\\PROC", kEveryEntry, search, entry), 0);
  EXPECT_TRUE(entry.leavesTree);
}

}  // namespace
