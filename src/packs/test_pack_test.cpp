#include "packs/test_pack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packs/file_list_test_util.h"
#include "platform/io_result.h"
#include "run/run_fixture.h"

namespace {

class FileListTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    WriteBytes("timer.exe", std::string(512, 't'));
    WriteBytes("001.dat", "abc");
    MakeFolder("sub");
    WriteBytes("sub/002.dat", "12345");
  }
};

TEST_F(FileListTest, ListsAndTheirVerdicts) {
  struct Case {
    const char* name;
    std::string list;
    FileListCheck check;
  };
  const Case cases[] = {
      {"two entries ending with a line end", "512\r\ntimer.exe\r\n0\r\n001.dat\r\n",
       FileListCheck::AllMatch},
      {"two entries without the last line end", "512\r\ntimer.exe\r\n0\r\n001.dat",
       FileListCheck::AllMatch},
      {"line feeds alone", "512\ntimer.exe\n3\n001.dat\n", FileListCheck::AllMatch},
      {"an extra empty line at the end", "512\r\ntimer.exe\r\n0\r\n001.dat\r\n\r\n",
       FileListCheck::Mismatch},
      {"a blank at the end", "512\r\ntimer.exe\r\n ", FileListCheck::Mismatch},
      {"blanks, tabs and empty lines before a size", "\r\n\r\n \t 512\r\ntimer.exe\r\n",
       FileListCheck::AllMatch},
      {"an empty line between a size and its name", "512\r\n\r\ntimer.exe\r\n",
       FileListCheck::Mismatch},
      {"512 KB is read as 512", "512 KB\r\ntimer.exe\r\n", FileListCheck::AllMatch},
      {"512KB is no number", "512KB\r\ntimer.exe\r\n", FileListCheck::Malformed},
      {"an empty list", "", FileListCheck::Mismatch},
      {"a list ending after a size line", "512\r\ntimer.exe\r\n0\r\n", FileListCheck::Mismatch},
      {"a list of one size line without a line end", "512", FileListCheck::Mismatch},
      {"a size of another file", "511\r\ntimer.exe\r\n", FileListCheck::Mismatch},
      {"a missing file, present in size 0", "0\r\nmissing.dat\r\n", FileListCheck::Mismatch},
      {"a directory of the listed name", "0\r\nsub\r\n", FileListCheck::Mismatch},
      {"a name in a subdirectory", "5\r\nsub\\002.dat\r\n", FileListCheck::AllMatch},
      {"a hexadecimal size with a sign", "+$200\r\ntimer.exe\r\n", FileListCheck::AllMatch},
      {"a size beyond 32 bits", "4294967808\r\ntimer.exe\r\n", FileListCheck::Malformed},
      {"a negative size", "-512\r\ntimer.exe\r\n", FileListCheck::Mismatch},
      // Blanks ending a name: test_pack_posix_test.cpp and test_pack_win32_test.cpp.
      {"blanks before a name are part of it", "512\r\n timer.exe\r\n", FileListCheck::Mismatch},
      {"a Ctrl-Z ends the list", "512\r\ntimer.exe\r\n\x1A\r\n0\r\nmissing\r\n",
       FileListCheck::AllMatch},
      {"a Ctrl-Z instead of the first size", "\x1A", FileListCheck::Mismatch},
      {"the first failing entry ends the check", "0\r\nmissing\r\n512KB\r\ntimer.exe\r\n",
       FileListCheck::Mismatch},
      {"a malformed entry after good ones", "512\r\ntimer.exe\r\nxyz\r\n001.dat\r\n",
       FileListCheck::Malformed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CheckListOf(c.list), c.check);
  }
}

TEST_F(FileListTest, FileHeldOpenPassesOnlyAPresenceCheck) {
  TextFile held;
  OpenTextForReading(held, "001.dat");
  ASSERT_EQ(TakeIoResult(), 0);
  EXPECT_EQ(CheckListOf("0\r\n001.dat\r\n"), FileListCheck::AllMatch);
  EXPECT_EQ(CheckListOf("3\r\n001.dat\r\n"), FileListCheck::Mismatch);
  CloseText(held);
  EXPECT_EQ(CheckListOf("3\r\n001.dat\r\n"), FileListCheck::AllMatch);
}

TEST_F(FileListTest, ReaderDeliversEntriesThenTheEnd) {
  struct Case {
    const char* name;
    std::string list;
    std::vector<FileListEntry> entries;
    FileListRead last;
  };
  const std::string longName(300, 'n');
  const Case cases[] = {
      {"two entries",
       "\r\n 512 KB\r\ntimer.exe\r\n0\r\nsub\\x y.dat",
       {{512, "timer.exe"}, {0, "sub\\x y.dat"}},
       FileListRead::End},
      {"an empty list reads as one empty entry", "", {{0, ""}}, FileListRead::End},
      {"a name of 300 characters is cut and its rest skipped",
       "1\r\n" + longName + "\r\n2\r\nnext\r\n",
       {{1, ShortText(longName)}, {2, "next"}},
       FileListRead::End},
      {"carriage returns inside a name are dropped",
       "7\r\na\rb.dat\r\n",
       {{7, "ab.dat"}},
       FileListRead::End},
      {"a bad number", "1\r\na\r\n1x\r\nb\r\n", {{1, "a"}}, FileListRead::BadNumber},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes("files.dat", c.list);
    TextFile list;
    OpenTextForReading(list, "files.dat");
    ASSERT_EQ(TakeIoResult(), 0);
    FileListReader reader{list};
    for (const FileListEntry& expected : c.entries) {
      FileListEntry entry;
      ASSERT_EQ(ReadFileListEntry(reader, entry), FileListRead::Entry);
      EXPECT_EQ(entry.size, expected.size);
      EXPECT_EQ(entry.name, expected.name);
    }
    FileListEntry entry;
    EXPECT_EQ(ReadFileListEntry(reader, entry), c.last);
    CloseText(list);
    EXPECT_EQ(TakeIoResult(), 0);
  }
}

}  // namespace
