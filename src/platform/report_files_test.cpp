// The walk of a tree, file facts, read-only files and byte output.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/byte_output.h"
#include "platform/file_facts.h"
#include "platform/read_only_file.h"
#include "platform/test_support.h"
#include "platform/tree_walk.h"

namespace {

namespace fs = std::filesystem;
using ReportFilesTest = TempFolderTest;

struct Found {
  std::vector<std::string> relative;
};

void Collect(std::string_view path, int rootLength, void* context) {
  std::string relative(path.substr(static_cast<size_t>(rootLength)));
  std::replace(relative.begin(), relative.end(), '\\', '/');
  static_cast<Found*>(context)->relative.push_back(relative);
}

std::vector<std::string> Walked(std::string_view root, TreeWalkSkips& skips, bool& walked) {
  Found found;
  walked = WalkTree(root, Collect, &found, skips);
  std::sort(found.relative.begin(), found.relative.end());
  return found.relative;
}

// A file's identity comes from GetFileInformationByHandle, which asks Wine's mount
// manager for the volume's serial number.
constexpr const char* kNoMountManager =
    "Wine's mount manager now and then never answers under qemu-user";

TEST_F(ReportFilesTest, WalkFindsEveryFileAndSkipsLoopsAndTooLongPaths) {
  if (UnderI386Emulation()) GTEST_SKIP() << kNoMountManager;
  fs::create_directories("tree/a/b");
  WriteBytes("tree/top.log", "1");
  WriteBytes("tree/a/b/deep.log", "2");
  // "tree\" and two such folders make 257 characters: walked where the system's calls
  // take such paths, skipped where they do not (Windows' ANSI calls).
  const std::string longName(125, 'n');
  const std::string longFolder = "tree/" + longName + "/" + longName;
  std::error_code noLongPath;
  fs::create_directories(longFolder, noLongPath);
  if (!noLongPath) WriteBytes(longFolder + "/long.log", "3");
  const bool longWalked = !noLongPath && kLongestPath > 300;
  std::error_code noLinks;
  fs::create_directory_symlink("..", "tree/a/up", noLinks);   // back to tree: a loop
  fs::create_directory_symlink("a/b", "tree/side", noLinks);  // elsewhere: followed

  TreeWalkSkips skips;
  bool walked = false;
  const std::vector<std::string> files = Walked("tree", skips, walked);
  ASSERT_TRUE(walked);
  std::vector<std::string> expected = {"a/b/deep.log", "top.log"};
  if (!noLinks) expected.push_back("side/deep.log");
  if (longWalked) expected.push_back(longFolder.substr(5) + "/long.log");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files, expected);
  EXPECT_EQ(skips.loops, noLinks ? 0 : 1);
  EXPECT_EQ(skips.tooLong, noLongPath || longWalked ? 0 : 1);

  TreeWalkSkips none;
  EXPECT_FALSE(Walked("tree\\top.log", none, walked).size() || walked);
  EXPECT_FALSE(Walked("missing", none, walked).size() || walked);
}

TEST_F(ReportFilesTest, FactsTellKindSizeAndIdentityAndReadingChangesNothing) {
  if (UnderI386Emulation()) GTEST_SKIP() << kNoMountManager;
  fs::create_directory("d");
  WriteBytes("d/f.txt", "hello");
  FileFacts file, folder, again;
  ASSERT_TRUE(ReadFileFacts("d\\f.txt", file));
  ASSERT_TRUE(ReadFileFacts("d", folder));
  ASSERT_TRUE(ReadFileFacts("d/../d/f.txt", again));
  EXPECT_FALSE(file.isDirectory);
  EXPECT_TRUE(file.isRegular);
  EXPECT_TRUE(folder.isDirectory);
  EXPECT_FALSE(folder.isRegular);
  EXPECT_EQ(file.size, 5);
  EXPECT_TRUE(SameFile(file, again));
  EXPECT_FALSE(SameFile(file, folder));
  EXPECT_FALSE(ReadFileFacts("d\\missing", again));

  ReadOnlyFile reader;
  ASSERT_EQ(OpenReadOnly(reader, "d\\f.txt"), 0);
  char bytes[16];
  int32_t got = 0;
  EXPECT_EQ(ReadChunk(reader, bytes, sizeof bytes, got), 0);
  EXPECT_EQ(std::string(bytes, static_cast<size_t>(got)), "hello");
  EXPECT_EQ(ReadChunk(reader, bytes, sizeof bytes, got), 0);
  EXPECT_EQ(got, 0);
  CloseReadOnly(reader);
  ASSERT_TRUE(ReadFileFacts("d\\f.txt", again));
  EXPECT_EQ(again.modified, file.modified);
  EXPECT_NE(OpenReadOnly(reader, "d\\missing"), 0);
  EXPECT_NE(OpenReadOnly(reader, "d"), 0);
}

TEST_F(ReportFilesTest, OutputFileGetsTheBytesUnchanged) {
  ByteOutput output;
  ASSERT_EQ(CreateOutputFile(output, "out.txt"), 0);
  EXPECT_EQ(WriteOutput(output, "a\nb\r\n\x1a", 6), 0);
  EXPECT_EQ(CloseOutput(output), 0);
  EXPECT_EQ(ReadBytes("out.txt"), std::string("a\nb\r\n\x1a", 6));
  EXPECT_NE(CreateOutputFile(output, "no-such-folder\\out.txt"), 0);
}

}  // namespace
