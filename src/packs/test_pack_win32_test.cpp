// What Windows itself does to the names of a pack's file list.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "packs/file_list_test_util.h"
#include "packs/test_pack.h"
#include "run/run_fixture.h"

namespace {

using FileListWin32Test = RunFixture;

// The program passes the name on as it is, and Windows drops blanks ending a file
// name, so a listed "timer.exe " is timer.exe, size check and all (POSIX keeps the
// blank: test_pack_posix_test.cpp).
TEST_F(FileListWin32Test, WindowsDropsBlanksEndingAName) {
  std::ofstream("timer.exe", std::ios::binary) << std::string(512, 't');
  EXPECT_EQ(CheckListOf("512\r\ntimer.exe \r\n"), FileListCheck::AllMatch);
  EXPECT_EQ(CheckListOf("511\r\ntimer.exe  \r\n"), FileListCheck::Mismatch);
  EXPECT_EQ(CheckListOf("512\r\nmissing.exe \r\n"), FileListCheck::Mismatch);
}

}  // namespace
