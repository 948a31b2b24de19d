#include "platform/directories.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/backend_shared.h"
#include "platform/io_result.h"
#include "platform/test_support.h"
#include "platform/text_file.h"

namespace {

using DirectoriesTest = TempFolderTest;

std::vector<std::string> ListNames(const ShortText& pattern) {
  std::vector<std::string> names;
  DirectorySearch search;
  DirectoryEntry entry;
  for (int32_t code = FindFirstEntry(pattern.view(), kEveryEntry, search, entry); code == 0;
       code = FindNextEntry(search, entry)) {
    names.emplace_back(entry.name.view());
  }
  EXPECT_EQ(search.state, 0);  // an exhausted search is released
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SearchFilter, AttributesOutsideTheLowByteExcludeAndTheHighByteIsRequired) {
  struct {
    uint8_t attributes;
    uint16_t filter;
    bool passes;
  } const cases[] = {
      // The low byte lists what an entry may carry.
      {0x00, 0x00, true},
      {0x20, 0x00, false},
      {0x20, 0x20, true},
      {0x20, 0x3F, true},
      {0x02, 0x3F, true},
      {0x04, 0x3F, true},
      {0x08, 0x3F, true},
      {0x10, 0x3F, true},
      {0x12, 0x3F, true},
      {0x10, 0x2F, false},
      {0x12, 0x10, false},
      {0x12, 0x12, true},
      {0x22, 0x20, false},
      // The high byte lists what it must carry.
      {0x20, 0x1020, false},
      {0x10, 0x1010, true},
      {0x20, 0x1030, false},
      {0x3F, 0x3F3F, true},
      {0x37, 0x3F3F, false},
      // Read-only is neither forbidden nor required.
      {0x01, 0x00, true},
      {0x21, 0x20, true},
      {0x01, 0x0100, true},
      {0x00, 0x0100, true},
      {0x20, 0x0120, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.attributes) + " / " + std::to_string(c.filter));
    EXPECT_EQ(EntryPassesFilter(c.attributes, c.filter), c.passes);
  }
}

TEST_F(DirectoriesTest, FileIsPresentOnlyForFiles) {
  WriteBytes("clip.mpg", "x");
  std::filesystem::create_directory("pack");
  EXPECT_TRUE(FileIsPresent("clip.mpg"));
  EXPECT_FALSE(FileIsPresent("pack"));
  EXPECT_FALSE(FileIsPresent("missing.mpg"));
  EXPECT_FALSE(FileIsPresent(""));
  EXPECT_TRUE(FileIsPresent("*.mpg"));
}

TEST_F(DirectoriesTest, ChangeDirectory) {
  const ShortText start = GetCurrentDirectoryPath();
  ASSERT_FALSE(start.empty());
  EXPECT_TRUE(ChangeDirectory(""));
  EXPECT_EQ(GetCurrentDirectoryPath(), start);
  std::filesystem::create_directory("sub");
  EXPECT_TRUE(ChangeDirectory("sub"));
  EXPECT_EQ(GetCurrentDirectoryPath(), start + "\\sub");
  EXPECT_FALSE(ChangeDirectory("no-such-folder"));
  EXPECT_EQ(GetCurrentDirectoryPath(), start + "\\sub");
  EXPECT_TRUE(ChangeDirectory(".."));
  EXPECT_EQ(GetCurrentDirectoryPath(), start);
  EXPECT_TRUE(ChangeDirectory(start + "\\sub"));
  EXPECT_TRUE(ChangeDirectory(start));
}

TEST_F(DirectoriesTest, MakeDirectory) {
  EXPECT_TRUE(MakeDirectory("made"));
  EXPECT_TRUE(std::filesystem::is_directory("made"));
  EXPECT_FALSE(MakeDirectory("made"));
  EXPECT_FALSE(MakeDirectory("missing\\child"));
}

TEST_F(DirectoriesTest, RemoveFileRefusals) {
  WriteBytes("gone.txt", "x");
  EXPECT_TRUE(RemoveFile("gone.txt"));
  EXPECT_FALSE(std::filesystem::exists("gone.txt"));
  EXPECT_FALSE(RemoveFile("gone.txt"));

  std::filesystem::create_directory("folder");
  EXPECT_FALSE(RemoveFile("folder"));
  EXPECT_TRUE(std::filesystem::exists("folder"));

  WriteBytes("locked.txt", "x");
  std::filesystem::permissions("locked.txt", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  EXPECT_FALSE(RemoveFile("locked.txt"));
  EXPECT_TRUE(std::filesystem::exists("locked.txt"));
}

TEST_F(DirectoriesTest, RemoveFileRefusesAFileThisProgramHasOpen) {
  TextFile log;
  CreateText(log, "open.log");
  EXPECT_FALSE(RemoveFile("open.log"));
  EXPECT_TRUE(std::filesystem::exists("open.log"));
  CloseText(log);
  EXPECT_TRUE(RemoveFile("open.log"));
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(DirectoriesTest, SearchDeliversEveryEntryWithDots) {
  WriteBytes("a.txt", "x");
  WriteBytes("noext", "x");
  std::filesystem::create_directory("dir");
  const std::vector<std::string> expected = {".", "..", "a.txt", "dir", "noext"};
  EXPECT_EQ(ListNames("*.*"), expected);
  EXPECT_EQ(ListNames(GetCurrentDirectoryPath() + "\\*.*"), expected);
  EXPECT_EQ(ListNames("*.txt"), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(ListNames("*.none"), std::vector<std::string>{});
}

TEST_F(DirectoriesTest, SearchReportsKindSizeAndFilter) {
  WriteBytes("five.bin", "12345");
  std::filesystem::create_directory("dir");
  DirectorySearch search;
  DirectoryEntry entry;
  ASSERT_EQ(FindFirstEntry("dir", kEveryEntry, search, entry), 0);
  EXPECT_EQ(entry.name.view(), "dir");
  EXPECT_NE(entry.attributes & kAttributeDirectory, 0);
  EndSearch(search);
  ASSERT_EQ(FindFirstEntry("five.bin", kEveryEntry, search, entry), 0);
  EXPECT_EQ(entry.attributes & kAttributeDirectory, 0);
  EXPECT_EQ(entry.size, 5u);
  EndSearch(search);
  // A filter without the directory flag leaves out directories, "." and ".." too.
  int files = 0;
  for (int32_t code = FindFirstEntry("*.*", kEveryEntry & ~kAttributeDirectory, search, entry);
       code == 0; code = FindNextEntry(search, entry)) {
    EXPECT_EQ(entry.attributes & kAttributeDirectory, 0) << entry.name.c_str();
    ++files;
  }
  EXPECT_EQ(files, 1);
  EXPECT_NE(FindFirstEntry("missing\\*.*", kEveryEntry, search, entry), 0);
  EXPECT_EQ(search.state, 0);
  EXPECT_NE(FindNextEntry(search, entry), 0);
}

}  // namespace
