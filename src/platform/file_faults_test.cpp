#include "platform/file_faults.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/io_result.h"
#include "platform/raw_file.h"
#include "platform/test_support.h"
#include "platform/text_file.h"

namespace {

constexpr int32_t kDiskFull = 112;
constexpr int32_t kDeviceFailed = 31;

class FileFaultsTest : public TempFolderTest {
 protected:
  void TearDown() override {
    ClearFileFaults();
    TempFolderTest::TearDown();
  }

  /// 300 bytes that tell their positions apart.
  static std::string Text() {
    std::string text;
    for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 26);
    return text;
  }

  /// Writes Text() as a new text file and closes it; returns the pending code.
  static int32_t WriteAndClose(const char* name) {
    TextFile file;
    CreateText(file, name);
    WriteText(file, ShortText(Text().substr(0, 255)));
    WriteText(file, ShortText(Text().substr(255)));
    CloseText(file);
    return TakeIoResult();
  }
};

TEST_F(FileFaultsTest, WritesFailFromTheNthOn) {
  // 300 bytes leave a text file in three writes: two full buffers of 128 bytes while
  // they are written, and the last 44 bytes when the file is closed.
  struct Case {
    int nth;
    int32_t bytesThatLand;
    size_t kept;  ///< bytes of Text() in the file afterwards
    int32_t code;
  };
  const Case cases[] = {
      {1, 0, 0, kDiskFull},     {1, 50, 50, kDiskFull},  {2, 0, 128, kDiskFull},
      {2, 127, 255, kDiskFull}, {3, 10, 266, kDiskFull}, {3, 100, 300, kDiskFull},
      {1, 5, 5, kDeviceFailed}, {4, 0, 300, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "write " << c.nth << ", " << c.bytesThatLand << " land");
    FailWritesFrom(c.nth, c.bytesThatLand, c.code == 0 ? kDiskFull : c.code);
    EXPECT_EQ(WriteAndClose("out.txt"), c.code);
    EXPECT_EQ(ReadBytes("out.txt"), Text().substr(0, c.kept));
    ClearFileFaults();
  }
}

TEST_F(FileFaultsTest, AfterTheFailingWriteTheDiskStaysFull) {
  FailWritesFrom(1, 20, kDiskFull);
  EXPECT_EQ(WriteAndClose("first.txt"), kDiskFull);
  EXPECT_EQ(WriteAndClose("second.txt"), kDiskFull);
  EXPECT_EQ(ReadBytes("first.txt"), Text().substr(0, 20));
  EXPECT_EQ(ReadBytes("second.txt"), "");
  ClearFileFaults();
  EXPECT_EQ(WriteAndClose("third.txt"), 0);
  EXPECT_EQ(ReadBytes("third.txt"), Text());
}

TEST_F(FileFaultsTest, FailingCloseStillWritesOutAndClosesOnce) {
  FailNextClose(kDeviceFailed);
  TextFile file;
  CreateText(file, "out.txt");
  WriteLine(file, "abc");
  CloseText(file);
  EXPECT_EQ(TakeIoResult(), kDeviceFailed);
  EXPECT_EQ(file.state, TextFileState::Closed);
  EXPECT_EQ(ReadBytes("out.txt"), "abc\r\n");
  // The handle is gone: Windows deletes no file that is still open.
  EXPECT_TRUE(std::filesystem::remove("out.txt"));
  // Only the next close failed.
  EXPECT_EQ(WriteAndClose("again.txt"), 0);
}

TEST_F(FileFaultsTest, FailingCloseWaitsForAFileThatWasWritten) {
  WriteBytes("in.txt", "line\r\n");
  WriteBytes("clip.mpg", "12345");
  FailNextClose(kDeviceFailed);
  TextFile read;
  OpenTextForReading(read, "in.txt");
  EXPECT_EQ(ReadLine(read), ShortText("line"));
  CloseText(read);
  RawFile sized;
  OpenForReading(sized, "clip.mpg");
  EXPECT_EQ(FileLength(sized), 5);
  CloseFile(sized);
  EXPECT_EQ(TakeIoResult(), 0);
  EXPECT_EQ(WriteAndClose("out.txt"), kDeviceFailed);
  EXPECT_EQ(ReadBytes("out.txt"), Text());
}

TEST_F(FileFaultsTest, ClearedFaultsChangeNothing) {
  FailWritesFrom(1, 0, kDiskFull);
  FailNextClose(kDeviceFailed);
  ClearFileFaults();
  EXPECT_EQ(WriteAndClose("out.txt"), 0);
  EXPECT_EQ(ReadBytes("out.txt"), Text());
}

TEST_F(FileFaultsTest, TextFileLengthIsWhereAnAppendBegins) {
  WriteBytes("log.txt",
             "0123456789\x1A"
             "old");
  TextFile file;
  EXPECT_EQ(TextFileLength(file), -1);
  EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
  OpenTextForAppend(file, "log.txt");
  ASSERT_EQ(TakeIoResult(), 0);
  // The Ctrl-Z and what followed it are already cut.
  EXPECT_EQ(TextFileLength(file), 10);
  WriteLine(file, "new");  // waits in the buffer
  EXPECT_EQ(TextFileLength(file), 10);
  CloseText(file);
  EXPECT_EQ(TakeIoResult(), 0);
  OpenTextForReading(file, "log.txt");
  EXPECT_EQ(TextFileLength(file), -1);
  EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
  CloseText(file);
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(FileFaultsTest, CutFileShortensButNeverLengthens) {
  struct Case {
    std::string before;
    int64_t length;
    std::string after;
  };
  const Case cases[] = {
      {"earlier\r\npartial", 9, "earlier\r\n"},
      {"earlier\r\n", 9, "earlier\r\n"},
      {"earlier\r\n", 20, "earlier\r\n"},
      {"earlier\r\n", 0, ""},
      {std::string(5000, 'r') + "partial", 5000, std::string(5000, 'r')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    WriteBytes("log.txt", c.before);
    CutFile("log.txt", c.length);
    EXPECT_EQ(TakeIoResult(), 0);
    EXPECT_EQ(ReadBytes("log.txt"), c.after);
  }
  CutFile("missing.txt", 0);
  EXPECT_NE(TakeIoResult(), 0);
  EXPECT_FALSE(std::filesystem::exists("missing.txt"));
}

}  // namespace
