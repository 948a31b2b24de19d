// For the unit tests of test packs: the file list check run on a list written for it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "packs/test_pack.h"
#include "platform/io_result.h"
#include "platform/test_support.h"

/// Checks `bytes` as "files.dat" in the current directory.
inline FileListCheck CheckListOf(const std::string& bytes) {
  TempFolderTest::WriteBytes("files.dat", bytes);
  TextFile list;
  OpenTextForReading(list, "files.dat");
  EXPECT_EQ(TakeIoResult(), 0);
  const FileListCheck check = CheckFileList(list);
  CloseText(list);
  EXPECT_EQ(TakeIoResult(), 0);
  return check;
}
