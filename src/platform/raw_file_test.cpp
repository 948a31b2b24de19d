#include <gtest/gtest.h>

#include <filesystem>

#include "platform/io_result.h"
#include "platform/raw_file.h"
#include "platform/test_support.h"
#include "platform/text_file.h"

namespace {

using RawFileTest = TempFolderTest;

TEST_F(RawFileTest, FileLengthOfEmptyAndSmallFiles) {
  WriteBytes("empty.bin", "");
  WriteBytes("five.bin", "12345");
  RawFile file;
  OpenForReading(file, "empty.bin");
  EXPECT_EQ(FileLength(file), 0);
  CloseFile(file);
  OpenForReading(file, "five.bin");
  EXPECT_EQ(FileLength(file), 5);
  EXPECT_EQ(FileLength(file), 5);  // asking does not move anything
  CloseFile(file);
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(RawFileTest, FileLengthSaturatesAt2GiB) {
  // Sparse files: 4 GiB would wrap to 0 and 4 GiB + 5 to 5, both passing a size check.
  const std::uintmax_t kSizes[] = {2147483648u, 4294967296u, 4294967301u};
  for (const std::uintmax_t size : kSizes) {
    const std::string whyNot = MakeSparseFile("big.bin", size);
    if (!whyNot.empty()) GTEST_SKIP() << whyNot;
    RawFile file;
    OpenForReading(file, "big.bin");
    EXPECT_EQ(FileLength(file), 2147483647) << size;
    CloseFile(file);
    EXPECT_EQ(TakeIoResult(), 0);
  }
}

TEST_F(RawFileTest, FailuresOfRawFiles) {
  RawFile file;
  OpenForReading(file, "missing.bin");
  EXPECT_FALSE(file.isOpen);
  EXPECT_EQ(TakeIoResult(), kIoFileNotFound);
  OpenForReading(file, "nowhere\\missing.bin");
  EXPECT_NE(TakeIoResult(), 0);
  EXPECT_EQ(FileLength(file), 0);
  EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
  CloseFile(file);
  EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
  std::filesystem::create_directory("folder");
  OpenForReading(file, "folder");
  EXPECT_FALSE(file.isOpen);
  EXPECT_NE(TakeIoResult(), 0);
}

TEST_F(RawFileTest, ExclusiveOpenFailsWhileThisProgramHasTheFileOpen) {
  WriteBytes("shared.txt", "x\r\n");
  TextFile text;
  OpenTextForReading(text, "shared.txt");
  RawFile raw;
  OpenForReading(raw, "shared.txt");
  EXPECT_FALSE(raw.isOpen);
  EXPECT_NE(TakeIoResult(), 0);
  CloseText(text);
  CreateText(text, "shared.txt");
  OpenForReading(raw, "shared.txt");
  EXPECT_FALSE(raw.isOpen);
  EXPECT_NE(TakeIoResult(), 0);
  CloseText(text);
  OpenForReading(raw, "shared.txt");
  EXPECT_TRUE(raw.isOpen);
  CloseFile(raw);
  EXPECT_EQ(TakeIoResult(), 0);
}

}  // namespace
