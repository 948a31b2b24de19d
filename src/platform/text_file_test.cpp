#include <gtest/gtest.h>

#include <string>

#include "platform/io_result.h"
#include "platform/test_support.h"
#include "platform/text_file.h"

namespace {

class TextFileTest : public TempFolderTest {
 protected:
  // Opens a file holding exactly these bytes for reading.
  void OpenWith(const std::string& bytes) {
    WriteBytes("in.txt", bytes);
    OpenTextForReading(file_, "in.txt");
    ASSERT_EQ(TakeIoResult(), 0);
  }

  void TearDown() override {
    if (file_.state != TextFileState::Closed) CloseText(file_);
    TempFolderTest::TearDown();
  }

  TextFile file_;
};

TEST_F(TextFileTest, ReadLineCutsALongLineAndGoesOnWithTheNext) {
  OpenWith(std::string(300, 'x') + "\r\nnext\r\n");
  EXPECT_EQ(ReadLine(file_).view(), std::string(255, 'x'));
  EXPECT_EQ(ReadLine(file_).view(), "next");
  EXPECT_TRUE(AtEndOfText(file_));
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(TextFileTest, ReadLineLineEnds) {
  // A CR inside a line is dropped and the line goes on to the line feed; CR LF and a
  // lone LF both end a line; the last line needs no end.
  OpenWith("ab\rcd\nef\r\ngh\n\nlast");
  EXPECT_EQ(ReadLine(file_).view(), "abcd");
  EXPECT_EQ(ReadLine(file_).view(), "ef");
  EXPECT_EQ(ReadLine(file_).view(), "gh");
  EXPECT_EQ(ReadLine(file_).view(), "");
  EXPECT_FALSE(AtEndOfText(file_));
  EXPECT_EQ(ReadLine(file_).view(), "last");
  EXPECT_TRUE(AtEndOfText(file_));
  EXPECT_EQ(ReadLine(file_).view(), "");
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(TextFileTest, CarriageReturnsCountTowardTheLineLimit) {
  // 250 letters and 10 CRs are 260 characters looked at: the line stops after 255 of
  // them, which hold 245 letters; the rest of the line is skipped up to the CR LF.
  std::string line;
  for (int i = 0; i < 10; ++i) line += std::string(24, 'a') + "\r";
  line += std::string(10, 'a') + "\r\nz\n";
  OpenWith(line);
  EXPECT_EQ(ReadLine(file_).view(), std::string(245, 'a'));
  EXPECT_EQ(ReadLine(file_).view(), "z");
}

TEST_F(TextFileTest, CtrlZEndsTheText) {
  OpenWith("one\r\ntwo\x1Athree\r\n");
  EXPECT_EQ(ReadLine(file_).view(), "one");
  EXPECT_EQ(ReadLine(file_).view(), "two");
  // The Ctrl-Z stays unread: the end of the text is reached although bytes follow.
  EXPECT_TRUE(AtEndOfText(file_));
  EXPECT_EQ(ReadLine(file_).view(), "");
  EXPECT_TRUE(AtEndOfText(file_));
  EXPECT_EQ(ReadNumberLine(file_), 0);
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(TextFileTest, LinesAcrossTheBufferBoundary) {
  // Lines that straddle the 128-byte buffer, a CR LF split between two fills included.
  const std::string first(127, 'p');
  const std::string second(200, 'q');
  OpenWith(first + "\r\n" + second + "\n42\n");
  EXPECT_EQ(ReadLine(file_).view(), first);
  EXPECT_EQ(ReadLine(file_).view(), second);
  EXPECT_EQ(ReadNumberLine(file_), 42);
  EXPECT_TRUE(AtEndOfText(file_));
}

TEST_F(TextFileTest, ReadNumberLine) {
  OpenWith("  42 words\r\nnext\r\n\r\n\t -7\n$1F\n");
  EXPECT_EQ(ReadNumberLine(file_), 42);
  EXPECT_EQ(ReadLine(file_).view(), "next");
  // Blanks and line ends before the token are skipped across lines.
  EXPECT_EQ(ReadNumberLine(file_), -7);
  EXPECT_EQ(ReadNumberLine(file_), 31);
  // At the end of the text: 0 and no failure.
  EXPECT_EQ(ReadNumberLine(file_), 0);
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(TextFileTest, BadNumberFailsAndLaterReadsDoNothing) {
  OpenWith("4x2\r\n17\r\nline\r\n");
  EXPECT_EQ(ReadNumberLine(file_), 0);
  EXPECT_TRUE(IoResultPending());
  // While the failure is pending: an empty line, 0, the end of the text.
  EXPECT_EQ(ReadLine(file_).view(), "");
  EXPECT_EQ(ReadNumberLine(file_), 0);
  EXPECT_TRUE(AtEndOfText(file_));
  EXPECT_EQ(TakeIoResult(), kIoBadNumber);
  // Nothing was consumed meanwhile: reading goes on after the bad line.
  EXPECT_EQ(ReadNumberLine(file_), 17);
  EXPECT_EQ(ReadLine(file_).view(), "line");
}

TEST_F(TextFileTest, FailedOpenKeepsTheFirstCodeThroughTheGroup) {
  OpenTextForReading(file_, "missing.txt");
  EXPECT_EQ(ReadLine(file_).view(), "");
  EXPECT_EQ(ReadNumberLine(file_), 0);
  EXPECT_TRUE(AtEndOfText(file_));
  EXPECT_EQ(TakeIoResult(), kIoFileNotFound);
  // Without a pending code, reading a file that is not open is a failure of its own.
  EXPECT_EQ(ReadLine(file_).view(), "");
  EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
}

TEST_F(TextFileTest, OpensAndClosesHappenWhilePendingAndReplaceTheCode) {
  WriteBytes("in.txt", "data\r\n");
  SetIoResult(kIoBadNumber);
  OpenTextForReading(file_, "in.txt");
  EXPECT_EQ(file_.state, TextFileState::Reading);
  EXPECT_EQ(TakeIoResult(), kIoBadNumber);  // a successful open leaves the code alone
  SetIoResult(kIoBadNumber);
  OpenTextForReading(file_, "missing.txt");
  EXPECT_EQ(TakeIoResult(), kIoFileNotFound);
  EXPECT_EQ(file_.state, TextFileState::Closed);
  CloseText(file_);
  EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
}

TEST_F(TextFileTest, CreateTextWritesLinesWithCrLf) {
  CreateText(file_, "out.txt");
  WriteLine(file_, "first");
  WriteText(file_, "a");
  WriteText(file_, "b");
  WriteLine(file_);
  WriteLine(file_);
  WriteLine(file_, ShortText(std::string(255, 'z')));
  CloseText(file_);
  EXPECT_EQ(TakeIoResult(), 0);
  EXPECT_EQ(ReadBytes("out.txt"), "first\r\nab\r\n\r\n" + std::string(255, 'z') + "\r\n");
}

TEST_F(TextFileTest, CreateTextEmptiesAnExistingFile) {
  WriteBytes("out.txt", std::string(1000, 'o'));
  CreateText(file_, "out.txt");
  CloseText(file_);
  EXPECT_EQ(TakeIoResult(), 0);
  EXPECT_EQ(ReadBytes("out.txt"), "");
}

TEST_F(TextFileTest, WritesWaitInTheBufferUntilFullOrClosed) {
  CreateText(file_, "out.txt");
  WriteText(file_, "short");
  EXPECT_EQ(ReadBytes("out.txt"), "");
  WriteText(file_, ShortText(std::string(200, 'w')));
  EXPECT_EQ(ReadBytes("out.txt").size(), 128u);
  CloseText(file_);
  EXPECT_EQ(ReadBytes("out.txt"), "short" + std::string(200, 'w'));
}

TEST_F(TextFileTest, WritesDoNothingWhilePending) {
  CreateText(file_, "out.txt");
  WriteLine(file_, "kept");
  SetIoResult(kIoBadNumber);
  WriteLine(file_, "dropped");
  // Closing still happens and writes out what was written before the failure.
  CloseText(file_);
  EXPECT_EQ(TakeIoResult(), kIoBadNumber);
  EXPECT_EQ(ReadBytes("out.txt"), "kept\r\n");
}

TEST_F(TextFileTest, WritingAFileOpenForReadingFails) {
  OpenWith("x\r\n");
  WriteLine(file_, "no");
  EXPECT_EQ(TakeIoResult(), kIoFileNotOpen);
  EXPECT_EQ(ReadLine(file_).view(), "x");
}

struct AppendCase {
  const char* before;
  const char* after;
};

TEST_F(TextFileTest, OpenTextForAppendCutsAtTheFirstCtrlZOfTheTail) {
  const std::string longStart(200, 's');
  const AppendCase kCases[] = {
      {"", "new\r\n"},
      {"old\r\n", "old\r\nnew\r\n"},
      {"old\r\n\x1A", "old\r\nnew\r\n"},
      {"old\r\n\x1A\x1A junk", "old\r\nnew\r\n"},
  };
  for (const AppendCase& c : kCases) {
    WriteBytes("log.txt", c.before);
    OpenTextForAppend(file_, "log.txt");
    WriteLine(file_, "new");
    CloseText(file_);
    EXPECT_EQ(TakeIoResult(), 0) << c.before;
    EXPECT_EQ(ReadBytes("log.txt"), c.after) << c.before;
  }
  // A Ctrl-Z further back than the last 128 bytes stays.
  const std::string early = std::string("a\x1A") + std::string(200, 'b');
  WriteBytes("log.txt", early);
  OpenTextForAppend(file_, "log.txt");
  WriteText(file_, "c");
  CloseText(file_);
  EXPECT_EQ(ReadBytes("log.txt"), early + "c");
}

TEST_F(TextFileTest, OpenTextForAppendNeverCreates) {
  OpenTextForAppend(file_, "absent.log");
  EXPECT_EQ(TakeIoResult(), kIoFileNotFound);
  EXPECT_EQ(file_.state, TextFileState::Closed);
  EXPECT_FALSE(std::filesystem::exists("absent.log"));
}

TEST_F(TextFileTest, ReopeningAnOpenFileWritesItOutFirst) {
  CreateText(file_, "a.txt");
  WriteLine(file_, "saved");
  CreateText(file_, "b.txt");
  CloseText(file_);
  EXPECT_EQ(TakeIoResult(), 0);
  EXPECT_EQ(ReadBytes("a.txt"), "saved\r\n");
}

}  // namespace
