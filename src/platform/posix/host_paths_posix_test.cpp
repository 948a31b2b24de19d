#include "platform/posix/host_paths_posix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/directories.h"
#include "platform/disk.h"
#include "platform/io_result.h"
#include "platform/posix/test_support_posix.h"

namespace {

namespace fs = std::filesystem;

// The host path a Windows text leads to, or "<fails>".
std::string Mapped(const char* text) {
  std::string host;
  return MapToHostPath(text, host) ? host : "<fails>";
}

class HostPathsTest : public DriveLayoutTest {
 protected:
  void SetUp() override {
    DriveLayoutTest::SetUp();
    AddDrive('c', folder() / "c");
    AddDrive('d', folder() / "d");
    fs::create_directories(folder() / "c" / "work" / "run");
    fs::create_directories(folder() / "d" / "Tools");
    fs::current_path(folder() / "c" / "work");
  }
  // The drive roots as the mapping writes them: the entries of the drive folder.
  std::string Root(char letter) const { return folder() / "drives" / std::string{letter, ':'}; }
};

TEST_F(HostPathsTest, PathTextsMapToHostPaths) {
  const std::string c = Root('c'), d = Root('d');
  struct Case {
    const char* text;
    std::string host;
  } const kCases[] = {
      {"C:\\a\\\\b", c + "/a/b"},
      {"c:/a//b/", c + "/a/b"},
      {"D:\\Tools\\\\x.exe", d + "/Tools/x.exe"},
      {"D:\\", d},
      {"\\a", c + "/a"},
      {"/a\\b", c + "/a/b"},
      {"run\\x", c + "/work/run/x"},
      {".\\run\\..\\y", c + "/work/y"},
      {"..\\..\\..\\z", c + "/z"},
      {"C:\\..\\z", c + "/z"},
      {"C:run", c + "/work/run"},
      {"D:sub", d + "/sub"},
      {"", c + "/work"},
      {"Q:\\x", "<fails>"},
  };
  for (const Case& test : kCases) EXPECT_EQ(Mapped(test.text), test.host) << test.text;
}

TEST_F(HostPathsTest, NamesAreFoundRegardlessOfCase) {
  WriteBytes(folder() / "c" / "work" / "TEST.MPG", "x");
  EXPECT_EQ(Mapped("test.mpg"), Root('c') + "/work/TEST.MPG");
  EXPECT_EQ(Mapped("C:\\WORK\\RUN\\Test.Mpg"), Root('c') + "/work/run/Test.Mpg");
  EXPECT_EQ(Mapped("d:\\tools\\new.txt"), Root('d') + "/Tools/new.txt");
  // Only A-Z fold: other bytes must match exactly.
  WriteBytes(folder() / "c" / "work" / "\xC4.txt", "x");
  EXPECT_EQ(Mapped("\xE4.txt"), Root('c') + "/work/\xE4.txt");
  // An exact spelling wins over a case variant.
  WriteBytes(folder() / "c" / "work" / "test.mpg", "y");
  EXPECT_EQ(Mapped("test.mpg"), Root('c') + "/work/test.mpg");
}

TEST_F(HostPathsTest, NulBytesNeverReachTheSystem) {
  std::string host;
  EXPECT_FALSE(MapToHostPath(std::string_view("a\0b", 3), host));
}

TEST_F(HostPathsTest, CurrentDirectoryMapsBack) {
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "C:\\work");
  fs::current_path(folder() / "c");
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "C:\\");
  EXPECT_TRUE(ChangeDirectory("D:\\"));
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "D:\\");
  EXPECT_TRUE(ChangeDirectory("tools"));
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "D:\\Tools");
  // "\x" now means drive D.
  EXPECT_EQ(Mapped("\\x"), Root('d') + "/x");
  EXPECT_FALSE(ChangeDirectory("Q:\\"));
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "D:\\Tools");
}

TEST_F(HostPathsTest, LongestDriveRootWinsAndTiesGoToTheEarliestLetter) {
  AddDrive('e', folder() / "c" / "work");  // inside drive C
  AddDrive('f', folder() / "c" / "work");  // the same root as E
  fs::current_path(folder() / "c" / "work" / "run");
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "E:\\run");
  fs::current_path(folder() / "c");
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "C:\\");
}

TEST_F(HostPathsTest, DrivesNeedADirectoryEntry) {
  WriteBytes(folder() / "drives" / "g:", "not a directory");
  fs::create_directory_symlink(folder() / "missing", folder() / "drives" / "h:");
  fs::create_directory(folder() / "drives" / "i:");
  std::string root;
  EXPECT_FALSE(DriveRoot('g', root));
  EXPECT_FALSE(DriveRoot('h', root));
  EXPECT_TRUE(DriveRoot('I', root));
  EXPECT_EQ(root, Root('i'));
  EXPECT_FALSE(DriveRoot('1', root));
}

TEST_F(HostPathsTest, CurrentDirectoryOnNoDrive) {
  fs::current_path(folder());
  EXPECT_TRUE(GetCurrentDirectoryPath().empty());
  EXPECT_EQ(Mapped("relative"), "<fails>");
  EXPECT_EQ(Mapped("C:\\x"), Root('c') + "/x");
  EXPECT_EQ(FreeDiskBytes(0), -1);
}

TEST(HostPathsWithoutDrives, OnlyCExistsAsTheHostRoot) {
  ScopedEnvironment noDrives("TARSEL_DRIVES", nullptr);
  std::string root;
  EXPECT_TRUE(DriveRoot('c', root));
  EXPECT_EQ(root, "/");
  EXPECT_FALSE(DriveRoot('D', root));
  EXPECT_EQ(Mapped("C:\\tmp\\x"), "/tmp/x");
  EXPECT_EQ(Mapped("C:\\"), "/");
  const fs::path saved = fs::current_path();
  fs::current_path("/");
  EXPECT_EQ(GetCurrentDirectoryPath().view(), "C:\\");
  fs::current_path(saved);
}

TEST(Wildcards, WindowsMatching) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } const kCases[] = {
      {"*.*", "noext", true},
      {"*.*", "a.b.c", true},
      {"*.*", ".hidden", true},
      {"*.*", ".", true},
      {"*", "anything", true},
      {"*.txt", "A.TXT", true},
      {"*.txt", "a.txt.bak", false},
      {"?.c", "a.c", true},
      {"?.c", "ab.c", false},
      {"test.*", "test", true},
      {"test.*", "test.avi", true},
      {"test.*", "tester", false},
      {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbY", false},
      {"vdubm.exe", "VDubM.EXE", true},
      {"\xE4", "\xC4", false},
      {"", "", true},
      {"", "x", false},
  };
  for (const Case& test : kCases) {
    EXPECT_EQ(MatchesWildcard(test.pattern, test.name), test.matches)
        << test.pattern << " / " << test.name;
  }
}

TEST(IoCodes, MissingFileOrMissingPath) {
  EXPECT_EQ(IoCodeOfErrno(ENOENT, "/tmp/surely-missing-file"), kIoFileNotFound);
  EXPECT_EQ(IoCodeOfErrno(ENOENT, "/surely/missing/dir/file"), kIoPathNotFound);
  EXPECT_EQ(IoCodeOfErrno(EACCES), kIoAccessDenied);
  EXPECT_EQ(IoCodeOfErrno(ETXTBSY), kIoSharingViolation);
  EXPECT_NE(IoCodeOfErrno(EIO), 0);
}

}  // namespace
