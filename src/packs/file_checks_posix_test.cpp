// The drive search on drive layouts of its own (TARSEL_DRIVES), with links, files
// held by another process and file systems mounted inside a drive.
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "packs/file_checks.h"
#include "platform/directories.h"
#include "platform/posix/test_support_posix.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kEncoderSize = 475136;

/// A folder of drives named by TARSEL_DRIVES, with drive C: holding the start
/// directory "start", which is current when each test begins, as in a run.
class DriveSearchTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    AddDrive('c');
    fs::create_directory(Host("c:/start"));
    drives_.emplace("TARSEL_DRIVES", (folder() / "drives").c_str());
    ASSERT_TRUE(ChangeDirectory("C:\\start"));
  }

  void TearDown() override {
    drives_.reset();
    TempFolderTest::TearDown();
  }

  /// A host path below the drives folder: "d:/Tools" is D:\Tools.
  fs::path Host(const std::string& relative) const { return folder() / "drives" / relative; }

  void AddDrive(char letter) { fs::create_directories(Host(std::string{letter, ':'})); }

  void MakeFile(const std::string& relative, uintmax_t size) {
    fs::create_directories(Host(relative).parent_path());
    WriteBytes(Host(relative), "");
    fs::resize_file(Host(relative), size);
  }

  /// Runs the search and checks that it gave back the current directory.
  static std::string Find(const char* name, int32_t size) {
    const ShortText before = GetCurrentDirectoryPath();
    const ShortText found = FindProgramOnDrives(name, size);
    EXPECT_EQ(GetCurrentDirectoryPath(), before) << "after searching for " << name;
    return std::string(found.view());
  }

 private:
  std::optional<ScopedEnvironment> drives_;
};

TEST_F(DriveSearchTest, ProgramInADriveRootGivesTheRootAlone) {
  MakeFile("c:/nncron.exe", 1234);
  EXPECT_EQ(Find("nncron.exe", 0), "C:\\");
}

TEST_F(DriveSearchTest, ProgramInASubfolderGivesItsPathWithATrailingBackslash) {
  AddDrive('d');
  MakeFile("d:/Tools/mcmpgenc.exe", kEncoderSize);
  EXPECT_EQ(Find("mcmpgenc.exe", kEncoderSize), "D:\\Tools\\");
  EXPECT_EQ(Find("MCMPGENC.EXE", 0), "D:\\Tools\\");
}

TEST_F(DriveSearchTest, FirstDriveInLetterOrderWins) {
  for (char letter : {'z', 'e', 'd'}) {
    AddDrive(letter);
    MakeFile(std::string{letter, ':'} + "/x/cctspt.exe", 1884160);
  }
  EXPECT_EQ(Find("cctspt.exe", 1884160), "D:\\x\\");
}

TEST_F(DriveSearchTest, DrivesAAndBAreNeverSearched) {
  AddDrive('a');
  AddDrive('b');
  MakeFile("a:/nncron.exe", 1);
  MakeFile("b:/nncron.exe", 1);
  EXPECT_EQ(Find("nncron.exe", 0), "");
}

TEST_F(DriveSearchTest, WithoutDriveCTheOtherDrivesAreSearched) {
  AddDrive('d');
  MakeFile("d:/Tools/nncron.exe", 1);
  ASSERT_TRUE(ChangeDirectory("D:\\Tools"));
  fs::remove_all(Host("c:"));
  EXPECT_EQ(Find("nncron.exe", 0), "D:\\Tools\\");
  EXPECT_EQ(Find("missing.exe", 0), "");
  EXPECT_EQ(GetCurrentDirectoryPath(), ShortText("D:\\Tools"));
}

TEST_F(DriveSearchTest, WrongSizeOnOneDriveLeavesNoTraceForTheNext) {
  MakeFile("c:/procoder.exe", 1916928 - 1);
  AddDrive('e');
  MakeFile("e:/procoder.exe", 1916928);
  EXPECT_EQ(Find("procoder.exe", 1916928), "E:\\");
}

TEST_F(DriveSearchTest, DirectoryMatchEndsOnlyTheScanOfItsParent) {
  fs::create_directories(Host("c:/apps/cctspt.exe"));
  AddDrive('d');
  MakeFile("d:/cctspt.exe", 1884160);
  EXPECT_EQ(Find("cctspt.exe", 1884160), "D:\\");
}

TEST_F(DriveSearchTest, BytesBeyondAsciiMustBeEqual) {
  MakeFile("c:/x/\xC9T\xC9.exe", 5);
  EXPECT_EQ(Find("\xC9t\xC9.exe", 0), "C:\\x\\");
  // 0xE9 is the lower case of 0xC9 in Latin-1, but only A-Z are folded.
  EXPECT_EQ(Find("\xE9t\xE9.exe", 0), "");
}

TEST_F(DriveSearchTest, LinksAreNeverEntered) {
  fs::create_directories(Host("c:/a/b"));
  fs::create_directory_symlink("..", Host("c:/a/b/up"));
  fs::create_directory_symlink(".", Host("c:/a/self"));
  fs::create_directory_symlink(Host("c:"), Host("c:/a/b/root"));
  fs::create_directory_symlink("loop2", Host("c:/a/loop1"));
  fs::create_directory_symlink("loop1", Host("c:/a/loop2"));
  MakeFile("c:/real/mcmpgenc.exe", kEncoderSize);
  fs::create_directory_symlink(Host("c:/real"), Host("c:/a/via-link"));
  AddDrive('d');
  MakeFile("d:/elsewhere/nncron.exe", 1);
  fs::create_directory_symlink(Host("d:/elsewhere"), Host("c:/a/to-d"));
  // Only the real path is an answer, never one through a link.
  EXPECT_EQ(Find("mcmpgenc.exe", kEncoderSize), "C:\\real\\");
  EXPECT_EQ(Find("nncron.exe", 0), "D:\\elsewhere\\");
  EXPECT_EQ(Find("absent.exe", 0), "");
}

TEST_F(DriveSearchTest, LinkNamedLikeTheProgramMatchesByName) {
  fs::create_directories(Host("c:/target"));
  fs::create_directories(Host("c:/apps"));
  fs::create_directory_symlink(Host("c:/target"), Host("c:/apps/nncron.exe"));
  EXPECT_EQ(Find("nncron.exe", 0), "C:\\apps\\");
}

TEST_F(DriveSearchTest, NameHoldingABackslashIsNotEntered) {
  // No Windows name holds a backslash; read back as a path, such a name names some
  // other folder: "l\..\l" is the link "l", which the search must never enter, and
  // "x\.." is the root of C: itself.
  fs::create_directories(folder() / "outside");
  WriteBytes(folder() / "outside" / "nncron.exe", "x");
  fs::create_directory_symlink(folder() / "outside", Host("c:/l"));
  fs::create_directories(Host("c:/l\\..\\l"));
  fs::create_directories(Host("c:/x\\.."));
  EXPECT_EQ(Find("nncron.exe", 0), "");
}

TEST_F(DriveSearchTest, FoldersTooDeepForAShortTextAreNotSearched) {
  // C:\, four parts of 60 characters and one of 7 make a path of exactly 255
  // characters: "*.*" no longer fits after it, and cut to 255 the pattern would name
  // that folder itself, whose listing would then enter it again and again.
  const std::string part(60, 'p');
  std::string host = "c:";
  std::string windows = "C:\\";
  for (int depth = 1; depth <= 4; ++depth) {
    host += "/" + part;
    windows += part + "\\";
  }
  const std::string deepest = host + "/qqqqqqq";
  ASSERT_EQ(windows.size() + 8, 255u);
  MakeFile(deepest + "/qqqqqqq/nncron.exe", 1);
  MakeFile(deepest + "/nncron.exe", 1);
  EXPECT_EQ(Find("nncron.exe", 0), "");
  MakeFile(host + "/nncron.exe", 1);
  EXPECT_EQ(Find("nncron.exe", 0), windows);
}

TEST_F(DriveSearchTest, FileHeldByAnotherProcess) {
  MakeFile("c:/start/test.mpg", 34822144);
  MakeFile("c:/Tools/mcmpgenc.exe", kEncoderSize);
  AddDrive('d');
  MakeFile("d:/mcmpgenc.exe", kEncoderSize);
  const fs::path held = Host("c:/Tools/mcmpgenc.exe");
  const fs::path clip = Host("c:/start/test.mpg");
  const pid_t holder = SpawnTestBinary({"--child", "hold", held.string(), "20"});
  const pid_t clipHolder = SpawnTestBinary({"--child", "hold", clip.string(), "20"});
  ASSERT_GT(holder, 0);
  ASSERT_GT(clipHolder, 0);
  ASSERT_TRUE(AwaitFile(held.string() + ".ready"));
  ASSERT_TRUE(AwaitFile(clip.string() + ".ready"));

  // A candidate that cannot be opened counts as one of the wrong size and leaves no
  // trace for the next drive.
  EXPECT_EQ(Find("mcmpgenc.exe", kEncoderSize), "D:\\");
  // Presence alone opens nothing.
  EXPECT_EQ(Find("mcmpgenc.exe", 0), "C:\\Tools\\");
  EXPECT_TRUE(CheckFile("", "test.mpg", 0));
  EXPECT_FALSE(CheckFile("", "test.mpg", 34822144));
  EXPECT_FALSE(CheckFile("C:\\Tools", "mcmpgenc.exe", kEncoderSize));
  EXPECT_FALSE(CheckFileSizeWithin("", "test.mpg", 34822144, 1000));
  EXPECT_EQ(GetCurrentDirectoryPath(), ShortText("C:\\start"));

  WriteBytes(held.string() + ".release", "");
  WriteBytes(clip.string() + ".release", "");
  EXPECT_EQ(WaitForTestChild(holder), 0);
  EXPECT_EQ(WaitForTestChild(clipHolder), 0);
  fs::remove(held.string() + ".ready");
  fs::remove(held.string() + ".release");
  EXPECT_EQ(Find("mcmpgenc.exe", kEncoderSize), "C:\\Tools\\");
  EXPECT_TRUE(CheckFile("", "test.mpg", 34822144));
  EXPECT_TRUE(CheckFileSizeWithin("", "test.mpg", 34822144, 0));
}

// In a child process with a mount namespace of its own, so that nothing stays
// mounted whatever happens: a tmpfs mounted inside drive C: holds a program that must
// not be found, while the same program in an ordinary folder beside it is.
TEST_F(DriveSearchTest, FileSystemMountedInsideADriveIsNotSearched) {
  fs::create_directories(Host("c:/mnt/volume"));
  const std::string mountPoint = Host("c:/mnt/volume").string();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tarsel-test", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0) {
      _exit(77);
    }
    WriteBytes(mountPoint + "/nncron.exe", "x");
    const bool hidden = FindProgramOnDrives("nncron.exe", 0).empty();
    WriteBytes(Host("c:/mnt/nncron.exe"), "x");
    const bool foundBeside = FindProgramOnDrives("nncron.exe", 0) == ShortText("C:\\mnt\\");
    _exit(hidden && foundBeside ? 0 : 1);
  }
  const int status = WaitForTestChild(child);
  if (status == 77) GTEST_SKIP() << "mounting a file system is not allowed here";
  EXPECT_EQ(status, 0);
}

}  // namespace
