// The file checks and the tree search on real folders below a temporary folder.
#include "packs/file_checks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/directories.h"
#include "platform/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kEncoderSize = 475136;

void MakeFileOfSize(const fs::path& path, uintmax_t size) {
  if (path.has_parent_path()) fs::create_directories(path.parent_path());
  TempFolderTest::MakeSizedFile(path, size);
}

bool Check(const ShortText& dir, const char* name, int32_t size) {
  const ShortText before = GetCurrentDirectoryPath();
  const bool result = CheckFile(dir, name, size);
  EXPECT_EQ(GetCurrentDirectoryPath(), before) << "after checking " << name;
  return result;
}

bool CheckWithin(const ShortText& dir, const char* name, int32_t expected, int32_t tolerance) {
  const ShortText before = GetCurrentDirectoryPath();
  const bool result = CheckFileSizeWithin(dir, name, expected, tolerance);
  EXPECT_EQ(GetCurrentDirectoryPath(), before) << "after checking " << name;
  return result;
}

using FileChecksTest = TempFolderTest;

TEST_F(FileChecksTest, CheckFile) {
  MakeFileOfSize("test.mpg", 34822144);
  MakeFileOfSize("sub/divx.dll", 681984);
  MakeFileOfSize("EMPTY.BIN", 0);
  fs::create_directory("folder.dat");
  const ShortText here = GetCurrentDirectoryPath();
  const ShortText sub = here + "\\sub";
  struct Case {
    ShortText dir;
    const char* name;
    int32_t size;
    bool expected;
  };
  const Case cases[] = {
      {"", "test.mpg", 0, true},
      {"", "test.mpg", 34822144, true},
      {"", "test.mpg", 34822143, false},
      {"", "test.mpg", 34822145, false},
      {"", "TEST.MPG", 34822144, true},
      {"", "", 0, false},
      {"", "", 34822144, false},
      {"", "missing", 0, false},
      {"", "missing", 10, false},
      {"", "folder.dat", 0, false},  // a directory is no file
      {"", "folder.dat", 4096, false},
      {"", "empty.bin", 0, true},
      {"", "empty.bin", 1, false},
      {"sub", "divx.dll", 681984, true},
      {"sub", "divx.dll", 0, true},
      {sub, "divx.dll", 681984, true},
      {sub, "divx.dll", 681985, false},
      {here, "test.mpg", 0, true},
      {here + "\\nowhere", "divx.dll", 681984, false},
      {here + "\\nowhere", "divx.dll", 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Check(c.dir, c.name, c.size), c.expected)
        << "dir \"" << c.dir.c_str() << "\", name \"" << c.name << "\", size " << c.size;
  }
}

TEST_F(FileChecksTest, CheckFileSizeWithin) {
  struct Case {
    uintmax_t size;
    int32_t expected;
    int32_t tolerance;
    bool passes;
  };
  const Case cases[] = {
      {0, 1000, 1000, true},
      {2000, 1000, 1000, true},
      {2001, 1000, 1000, false},
      {1000, 1000, 0, true},
      {999, 1000, 0, false},
      {1001, 1000, 0, false},
      // An expected size of 0 is no "any size": it asks for a file of at most the tolerance.
      {5, 0, 5, true},
      {6, 0, 5, false},
      {0, 0, 0, true},
      // The difference does not overflow 32 bits.
      {2147483647u, -2147483647 - 1, 2147483647, false},
  };
  for (const Case& c : cases) {
    MakeFileOfSize("out.avi", c.size);
    EXPECT_EQ(CheckWithin("", "out.avi", c.expected, c.tolerance), c.passes)
        << "size " << c.size << ", expected " << c.expected << ", tolerance " << c.tolerance;
  }
  MakeFileOfSize("sub/OUT.MPG", 100);
  EXPECT_TRUE(CheckWithin("sub", "out.mpg", 90, 10));
  EXPECT_FALSE(CheckWithin("", "", 0, 1000));
  EXPECT_FALSE(CheckWithin("", "missing.avi", 0, 2147483647));
  EXPECT_FALSE(CheckWithin("nowhere", "out.avi", 0, 2147483647));
  fs::create_directory("dir.avi");
  EXPECT_FALSE(CheckWithin("", "dir.avi", 0, 2147483647));
}

/// The tree search run on the temporary folder, which then becomes current again.
class TreeSearchTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    top_ = GetCurrentDirectoryPath() + "\\";
  }

  std::string Search(const char* name, int32_t size) {
    const ShortText before = GetCurrentDirectoryPath();
    const ShortText found = FindFileInTree(top_, name, size);
    EXPECT_TRUE(ChangeDirectory(before));
    return std::string(found.view());
  }

  std::string Below(const std::string& relative) const { return top() + relative; }
  std::string top() const { return std::string(top_.view()); }

  /// The names of a folder in the order the platform lists them, without "." and "..".
  static std::vector<std::string> ListingOrder(const fs::path& folder) {
    std::vector<std::string> names;
    DirectorySearch search;
    DirectoryEntry entry;
    const ShortText pattern =
        GetCurrentDirectoryPath() + "\\" + ShortText(folder.string().c_str()) + "\\*.*";
    for (int32_t code = FindFirstEntry(pattern.view(), kEveryEntry, search, entry); code == 0;
         code = FindNextEntry(search, entry)) {
      const std::string name(entry.name.view());
      if (name != "." && name != "..") names.push_back(name);
    }
    return names;
  }

  /// Lays out a folder with 24 subfolders and a wrong-sized mcmpgenc.exe, and splits
  /// the subfolders into those listed before and after the file. The file system
  /// chooses that order, so other folder names are tried until both sides have one.
  /// The subfolders' names start with "a" to "x", so that a listing sorted by name
  /// (NTFS, Wine) has some on either side of the file as well as one in hash order.
  /// Files put into the subfolders later do not change their parent's order.
  bool LayOutAroundWrongCopy(fs::path& folder, std::vector<std::string>& before,
                             std::vector<std::string>& after) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      folder = "tree" + std::to_string(attempt);
      for (int i = 0; i < 24; ++i) {
        fs::create_directories(folder / (static_cast<char>('a' + i) + std::to_string(i)));
      }
      MakeFileOfSize(folder / "mcmpgenc.exe", kEncoderSize + 1);
      before.clear();
      after.clear();
      bool fileSeen = false;
      for (const std::string& name : ListingOrder(folder)) {
        if (name == "mcmpgenc.exe") {
          fileSeen = true;
        } else {
          (fileSeen ? after : before).push_back(name);
        }
      }
      if (!before.empty() && !after.empty()) return true;
      fs::remove_all(folder);
    }
    return false;
  }

  ShortText top_;
};

TEST_F(TreeSearchTest, MatchInTheTopGivesTheTopItself) {
  MakeFileOfSize("nncron.exe", 10);
  EXPECT_EQ(Search("nncron.exe", 0), top());
}

TEST_F(TreeSearchTest, NamesCompareWithoutTheCaseOfLetters) {
  MakeFileOfSize("Program Files/Mainconcept/MCMPGENC.EXE", kEncoderSize);
  EXPECT_EQ(Search("mcmpgenc.exe", kEncoderSize), Below("Program Files\\Mainconcept\\"));
  EXPECT_EQ(Search("McmpGenc.Exe", 0), Below("Program Files\\Mainconcept\\"));
  EXPECT_EQ(Search("mcmpgenc_exe", 0), "");
  EXPECT_EQ(Search("mcmpgenc.ex", 0), "");
}

TEST_F(TreeSearchTest, WrongSizeAndNoMatchGiveEmpty) {
  MakeFileOfSize("a/b/procoder.exe", 1916928 - 1);
  EXPECT_EQ(Search("procoder.exe", 1916928), "");
  EXPECT_EQ(Search("procoder.exe", 0), Below("a\\b\\"));
  EXPECT_EQ(Search("cctspt.exe", 0), "");
}

TEST_F(TreeSearchTest, DirectoryNamedLikeTheProgram) {
  fs::create_directories("apps/nncron.exe");
  // Any size: the directory matches by name, and its parent is the answer.
  EXPECT_EQ(Search("nncron.exe", 0), Below("apps\\"));

  // A nonzero size never returns the directory, but its own subtree is searched
  // before its name is compared.
  fs::create_directories("apps/mcmpgenc.exe");
  EXPECT_EQ(Search("mcmpgenc.exe", kEncoderSize), "");
  MakeFileOfSize("apps/mcmpgenc.exe/mcmpgenc.exe", kEncoderSize);
  EXPECT_EQ(Search("mcmpgenc.exe", kEncoderSize), Below("apps\\mcmpgenc.exe\\"));
}

TEST_F(TreeSearchTest, WrongSizedMatchHidesCopiesInSubfoldersListedAfterIt) {
  fs::path folder;
  std::vector<std::string> before, after;
  ASSERT_TRUE(LayOutAroundWrongCopy(folder, before, after));
  for (const std::string& name : after)
    MakeFileOfSize(folder / name / "mcmpgenc.exe", kEncoderSize);
  EXPECT_EQ(Search("mcmpgenc.exe", kEncoderSize), "");
}

TEST_F(TreeSearchTest, CopyInASubfolderListedBeforeTheWrongOneIsFound) {
  fs::path folder;
  std::vector<std::string> before, after;
  ASSERT_TRUE(LayOutAroundWrongCopy(folder, before, after));
  MakeFileOfSize(folder / before.back() / "mcmpgenc.exe", kEncoderSize);
  EXPECT_EQ(Search("mcmpgenc.exe", kEncoderSize),
            Below(folder.string() + "\\" + before.back() + "\\"));
}

TEST_F(TreeSearchTest, OfSiblingCopiesTheOneListedFirstWins) {
  fs::path folder;
  std::vector<std::string> before, after;
  ASSERT_TRUE(LayOutAroundWrongCopy(folder, before, after));
  for (const std::string& name : before) {
    MakeFileOfSize(folder / name / "mcmpgenc.exe", kEncoderSize);
  }
  EXPECT_EQ(Search("mcmpgenc.exe", kEncoderSize),
            Below(folder.string() + "\\" + before.front() + "\\"));
}

}  // namespace
