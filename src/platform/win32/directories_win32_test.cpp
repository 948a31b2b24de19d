// Windows directory and file behaviour: the search filter on real entries, entry
// fields, sizes of 2 GiB and more, deletes and exclusive opens of files this program
// holds open, directories, drive roots and free space.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/directories.h"
#include "platform/disk.h"
#include "platform/io_result.h"
#include "platform/raw_file.h"
#include "platform/test_support.h"
#include "platform/text_file.h"
#include "platform/win32/backend_win32.h"
#include "platform/win32/test_support_win32.h"

namespace {

std::vector<DirectoryEntry> Search(const std::string& pattern, uint16_t filter) {
  std::vector<DirectoryEntry> entries;
  DirectorySearch search;
  DirectoryEntry entry;
  for (int32_t code = FindFirstEntry(pattern.c_str(), filter, search, entry); code == 0;
       code = FindNextEntry(search, entry)) {
    entries.push_back(entry);
  }
  EXPECT_EQ(search.state, 0);
  return entries;
}

const DirectoryEntry* Named(const std::vector<DirectoryEntry>& entries, const char* name) {
  for (const DirectoryEntry& entry : entries) {
    if (entry.name == ShortText(name)) return &entry;
  }
  return nullptr;
}

TEST(DirectorySearchWin32, FilterDecidesWhichEntriesComeAndFieldsAreFilled) {
  TestFolderWin32 folder;
  WriteWholeFile(folder / "plain.txt", "12345");
  WriteWholeFile(folder / "hidden.txt", "");
  ASSERT_TRUE(SetFileAttributesA((folder / "hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(CreateDirectoryA((folder / "sub").c_str(), nullptr));

  const std::vector<DirectoryEntry> every = Search(folder / "*.*", kEveryEntry);
  ASSERT_EQ(every.size(), 5u);
  ASSERT_NE(Named(every, "."), nullptr);
  ASSERT_NE(Named(every, ".."), nullptr);
  const DirectoryEntry* plain = Named(every, "plain.txt");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->size, 5u);
  EXPECT_EQ(plain->attributes & kAttributeDirectory, 0);
  EXPECT_FALSE(plain->leavesTree);
  const DirectoryEntry* hidden = Named(every, "hidden.txt");
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(hidden->attributes & kAttributeHidden, kAttributeHidden);
  const DirectoryEntry* sub = Named(every, "sub");
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->attributes & kAttributeDirectory, kAttributeDirectory);

  // Directories only: "." and ".." and "sub".
  const std::vector<DirectoryEntry> directories = Search(folder / "*.*", 0x103F & 0x10FF);
  EXPECT_EQ(directories.size(), 3u);
  EXPECT_EQ(Named(directories, "plain.txt"), nullptr);
  // No hidden entries allowed: the hidden file is skipped, the others come.
  const std::vector<DirectoryEntry> visible = Search(folder / "*.*", 0x3D);
  EXPECT_EQ(visible.size(), 4u);
  EXPECT_EQ(Named(visible, "hidden.txt"), nullptr);
  // "?" matches one character.
  EXPECT_EQ(Search(folder / "s?b", kEveryEntry).size(), 1u);
}

TEST(DirectorySearchWin32, NoMatchGivesNonZeroAndNoSearch) {
  TestFolderWin32 folder;
  DirectorySearch search;
  DirectoryEntry entry;
  EXPECT_NE(FindFirstEntry((folder / "*.none").c_str(), kEveryEntry, search, entry), 0);
  EXPECT_EQ(search.state, 0);
  EXPECT_NE(FindFirstEntry((folder / "missing\\*.*").c_str(), kEveryEntry, search, entry), 0);
  EXPECT_NE(FindNextEntry(search, entry), 0);
  // Only directories, in a folder without a subfolder, but "." and ".." pass.
  WriteWholeFile(folder / "a.txt", "");
  EXPECT_EQ(Search(folder / "*.txt", 0x1010).size(), 0u);
}

TEST(DirectorySearchWin32, EndingASearchEarlyReleasesIt) {
  TestFolderWin32 folder;
  DirectorySearch search;
  DirectoryEntry entry;
  ASSERT_EQ(FindFirstEntry((folder / "*.*").c_str(), kEveryEntry, search, entry), 0);
  EXPECT_NE(search.state, 0);
  EndSearch(search);
  EXPECT_EQ(search.state, 0);
  EndSearch(search);
  // The folder can go: nothing holds it any more.
  EXPECT_TRUE(RemoveDirectoryA(folder.path().c_str()));
}

TEST(DirectorySearchWin32, LastWriteTimeIsLocalAndPackedTheDosWay) {
  TestFolderWin32 folder;
  const std::string path = folder / "dated.txt";
  WriteWholeFile(path, "x");
  SYSTEMTIME local = {};
  local.wYear = 2004;
  local.wMonth = 5;
  local.wDay = 6;
  local.wHour = 7;
  local.wMinute = 8;
  local.wSecond = 10;
  FILETIME localFile, utc;
  ASSERT_TRUE(SystemTimeToFileTime(&local, &localFile));
  ASSERT_TRUE(LocalFileTimeToFileTime(&localFile, &utc));
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
  CloseHandle(file);

  const std::vector<DirectoryEntry> entries = Search(path, kEveryEntry);
  ASSERT_EQ(entries.size(), 1u);
  const uint32_t date = (2004 - 1980) << 9 | 5 << 5 | 6;
  const uint32_t time = 7 << 11 | 8 << 5 | 10 / 2;
  EXPECT_EQ(entries[0].time, date << 16 | time);
}

TEST(LargeFilesWin32, SizesOf2GiBAndMoreShowAsTheLargest32BitSize) {
  TestFolderWin32 folder;
  struct {
    int64_t size;
    int32_t shown;
  } const cases[] = {
      {2147483647LL, 2147483647},
      {2147483648LL, 2147483647},
      {4294967296LL + 5, 2147483647},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.size));
    const std::string path = folder / "big.bin";
    const std::string whyNot = MakeSparseFile(path, static_cast<std::uintmax_t>(c.size));
    if (!whyNot.empty()) GTEST_SKIP() << whyNot;

    const std::vector<DirectoryEntry> entries = Search(path, kEveryEntry);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size, static_cast<uint32_t>(c.shown));
    RawFile raw;
    OpenForReading(raw, path.c_str());
    ASSERT_EQ(TakeIoResult(), 0);
    EXPECT_EQ(FileLength(raw), c.shown);
    CloseFile(raw);
    ASSERT_TRUE(DeleteFileA(path.c_str()));
  }
}

TEST(FileRulesWin32, FilesThisProgramHoldsOpenCanNeitherBeDeletedNorOpenedExclusively) {
  TestFolderWin32 folder;
  const std::string path = folder / "log.txt";
  TextFile text;
  CreateText(text, path.c_str());
  WriteLine(text, "held");
  EXPECT_FALSE(RemoveFile(path.c_str()));
  RawFile raw;
  OpenForReading(raw, path.c_str());
  EXPECT_EQ(TakeIoResult(), kIoSharingViolation);
  // A second text reader shares the file.
  TextFile reader;
  OpenTextForReading(reader, path.c_str());
  EXPECT_EQ(TakeIoResult(), 0);
  CloseText(reader);
  CloseText(text);
  ASSERT_EQ(TakeIoResult(), 0);

  // An exclusive open keeps everyone else out, text readers too.
  OpenForReading(raw, path.c_str());
  ASSERT_EQ(TakeIoResult(), 0);
  OpenTextForReading(reader, path.c_str());
  EXPECT_EQ(TakeIoResult(), kIoSharingViolation);
  EXPECT_FALSE(RemoveFile(path.c_str()));
  CloseFile(raw);
  EXPECT_TRUE(RemoveFile(path.c_str()));
  EXPECT_FALSE(PathExists(path));
}

TEST(FileRulesWin32, ReadOnlyFilesAndDirectoriesAreNotRemovedNorOpened) {
  TestFolderWin32 folder;
  const std::string locked = folder / "locked.txt";
  WriteWholeFile(locked, "x");
  ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(RemoveFile(locked.c_str()));
  EXPECT_TRUE(FileIsPresent(locked.c_str()));
  const std::string sub = folder / "sub";
  ASSERT_TRUE(MakeDirectory(sub.c_str()));
  EXPECT_FALSE(RemoveFile(sub.c_str()));
  EXPECT_FALSE(FileIsPresent(sub.c_str()));
  RawFile raw;
  OpenForReading(raw, sub.c_str());
  EXPECT_NE(TakeIoResult(), 0);
  EXPECT_FALSE(raw.isOpen);
  OpenForReading(raw, (folder / "missing.txt").c_str());
  EXPECT_EQ(TakeIoResult(), kIoFileNotFound);
  EXPECT_FALSE(RemoveFile(""));
  EXPECT_FALSE(FileIsPresent(""));
}

TEST(FileRulesWin32, HiddenFilesArePresentAndWildcardsLookAtTheFirstMatch) {
  TestFolderWin32 folder;
  WriteWholeFile(folder / "secret.txt", "");
  ASSERT_TRUE(SetFileAttributesA((folder / "secret.txt").c_str(),
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(FileIsPresent((folder / "secret.txt").c_str()));
  EXPECT_TRUE(FileIsPresent((folder / "SECRET.TXT").c_str()));
  EXPECT_TRUE(FileIsPresent((folder / "*.txt").c_str()));
  EXPECT_FALSE(FileIsPresent((folder / "*.none").c_str()));
}

TEST(FileRulesWin32, NamesAreTheConsolesCharacters) {
  if (!PagesAlike().empty()) GTEST_SKIP() << PagesAlike();
  TestFolderWin32 folder;
  // Made by its wide name, then reached only by its bytes in the console's code page.
  const std::wstring wideFolder = FromCodePage(CP_OEMCP, folder.path()) + L"\\";
  const std::wstring wide = wideFolder + kUmlautName + L".txt";
  const HANDLE made = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(made, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(made, "12345", 5, &written, nullptr);
  CloseHandle(made);

  const std::string name = InCodePage(CP_OEMCP, kUmlautName) + ".txt";
  const std::string path = folder / name;
  EXPECT_TRUE(FileIsPresent(path.c_str()));
  EXPECT_NE(Named(Search(folder / "*.*", kEveryEntry), name.c_str()), nullptr);
  RawFile raw;
  OpenForReading(raw, path.c_str());
  EXPECT_EQ(TakeIoResult(), 0);
  EXPECT_EQ(FileLength(raw), 5);
  CloseFile(raw);
  TakeIoResult();
  EXPECT_TRUE(RemoveFile(path.c_str()));
  EXPECT_EQ(GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(MakeDirectory((folder / InCodePage(CP_OEMCP, kUmlautName)).c_str()));
  EXPECT_NE(GetFileAttributesW((wideFolder + kUmlautName).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(DirectoriesWin32, MakeDirectoryNeedsAParentAndAFreeName) {
  TestFolderWin32 folder;
  EXPECT_TRUE(MakeDirectory((folder / "a").c_str()));
  EXPECT_FALSE(MakeDirectory((folder / "a").c_str()));
  EXPECT_FALSE(MakeDirectory((folder / "x\\y").c_str()));
  EXPECT_FALSE(MakeDirectory(""));
}

// Restores the current directory when the test ends, whatever happened.
class CurrentDirectoryWin32 : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = GetCurrentDirectoryPath(); }
  void TearDown() override { SetCurrentDirectoryA(saved_.c_str()); }
  ShortText saved_;
};

TEST_F(CurrentDirectoryWin32, RelativeAbsoluteEmptyAndMissingPaths) {
  TestFolderWin32 folder;
  ASSERT_TRUE(CreateDirectoryA((folder / "sub").c_str(), nullptr));
  ASSERT_TRUE(ChangeDirectory(folder.path().c_str()));
  const ShortText inFolder = GetCurrentDirectoryPath();
  EXPECT_NE(inFolder.view().back(), '\\');
  EXPECT_TRUE(ChangeDirectory(""));
  EXPECT_EQ(GetCurrentDirectoryPath(), inFolder);
  EXPECT_TRUE(ChangeDirectory("sub"));
  EXPECT_EQ(GetCurrentDirectoryPath(), inFolder + "\\sub");
  EXPECT_FALSE(ChangeDirectory("missing"));
  EXPECT_EQ(GetCurrentDirectoryPath(), inFolder + "\\sub");
  EXPECT_TRUE(ChangeDirectory(".."));
  EXPECT_EQ(GetCurrentDirectoryPath(), inFolder);
  // Relative names now lie in the folder.
  WriteWholeFile(folder / "here.txt", "");
  EXPECT_TRUE(FileIsPresent("here.txt"));
  EXPECT_TRUE(RemoveFile("here.txt"));
  ASSERT_TRUE(ChangeDirectory(saved_));
}

TEST_F(CurrentDirectoryWin32, DriveRootEndsInABackslash) {
  ASSERT_TRUE(ChangeDirectory("C:\\"));
  EXPECT_EQ(GetCurrentDirectoryPath(), ShortText("C:\\"));
}

// Drive letters that scripts/test-windows.sh maps (TARSEL_TEST_DRIVE, to an empty
// folder) and leaves unmapped (TARSEL_TEST_ABSENT_DRIVE).
char DriveFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] < 'A' || value[0] > 'Z') return 0;
  return value[0];
}

TEST_F(CurrentDirectoryWin32, MappedDriveRootBecomesTheCurrentDrive) {
  const char drive = DriveFromEnvironment("TARSEL_TEST_DRIVE");
  if (drive == 0) GTEST_SKIP() << "TARSEL_TEST_DRIVE names no test drive";
  const std::string root = std::string(1, drive) + ":\\";
  ASSERT_TRUE(ChangeDirectory(root.c_str()));
  EXPECT_EQ(GetCurrentDirectoryPath(), ShortText(root));
  // Free space of the current drive and of the drive by its letter.
  EXPECT_GT(FreeDiskBytes(0), 0);
  EXPECT_GT(FreeDiskBytes(drive - 'A' + 1), 0);
  EXPECT_TRUE(MakeDirectory("made"));
  EXPECT_TRUE(ChangeDirectory("made"));
  EXPECT_EQ(GetCurrentDirectoryPath(), ShortText(root + "made"));
  ASSERT_TRUE(ChangeDirectory(root.c_str()));
  EXPECT_TRUE(RemoveDirectoryA("made"));
}

TEST_F(CurrentDirectoryWin32, AbsentDriveFailsAndChangesNothing) {
  const char drive = DriveFromEnvironment("TARSEL_TEST_ABSENT_DRIVE");
  if (drive == 0) GTEST_SKIP() << "TARSEL_TEST_ABSENT_DRIVE names no absent drive";
  const ShortText before = GetCurrentDirectoryPath();
  EXPECT_FALSE(ChangeDirectory(ShortText(std::string(1, drive) + ":\\")));
  EXPECT_EQ(GetCurrentDirectoryPath(), before);
  EXPECT_EQ(FreeDiskBytes(drive - 'A' + 1), -1);
  EXPECT_EQ(FreeDiskBytesBy(drive - 'A' + 1, true), -1);
  EXPECT_EQ(FreeDiskBytesBy(drive - 'A' + 1, false), -1);
  EXPECT_FALSE(FileIsPresent(ShortText(std::string(1, drive) + ":\\x.txt")));
}

TEST(FreeDiskWin32, BothQueriesAgreeAndAreCapped) {
  // Drive C: exists on every Windows and in every Wine prefix.
  const int32_t extended = FreeDiskBytesBy(3, true);
  const int32_t clusters = FreeDiskBytesBy(3, false);
  EXPECT_GT(extended, 0);
  EXPECT_GT(clusters, 0);
  ULARGE_INTEGER available, total, totalFree;
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &totalFree));
  if (available.QuadPart > 2147483647ULL + 100000000ULL) {
    EXPECT_EQ(extended, 2147483647);
    EXPECT_EQ(FreeDiskBytes(3), 2147483647);
  } else {
    EXPECT_LE(extended, 2147483647);
  }
  EXPECT_EQ(FreeDiskBytes(-1), -1);
  EXPECT_EQ(FreeDiskBytes(27), -1);
}

}  // namespace
