#include "logs/main_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/file_faults.h"
#include "platform/io_result.h"
#include "run/run_fixture.h"

namespace {

TEST(FormatClock, DateAndTimeFields) {
  struct Case {
    LocalClock clock;
    const char* text;
  };
  const Case cases[] = {
      {{2004, 3, 5, 5, 9, 7, 3, 0}, "05.03.2004 at 09:07:03"},
      {{2003, 12, 31, 3, 23, 45, 10, 99}, "31.12.2003 at 23:45:10"},
      {{2005, 1, 1, 6, 0, 0, 0, 0}, "01.01.2005 at 00:00:00"},  // midnight of a new year
      {{2004, 2, 29, 0, 23, 59, 59, 99}, "29.02.2004 at 23:59:59"},
      {{2010, 10, 10, 0, 10, 10, 10, 0}, "10.10.2010 at 10:10:10"},
      {{999, 9, 9, 0, 9, 9, 9, 0}, "09.09.999 at 09:09:09"},  // the year is never padded
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatClock(c.clock), ShortText(c.text));
  }
}

TEST(FormatTimestamp, HasTheShapeOfTheLocalClock) {
  const std::string text(FormatTimestamp().view());
  ASSERT_EQ(text.size(), 22u) << text;
  for (size_t i : {0u, 1u, 3u, 4u, 6u, 7u, 8u, 9u, 14u, 15u, 17u, 18u, 20u, 21u}) {
    EXPECT_TRUE(text[i] >= '0' && text[i] <= '9') << text;
  }
  EXPECT_EQ(text.substr(10, 4), " at ");
}

ShortText FixedTimestamp() {
  return "05.03.2004 at 09:07:03";
}

constexpr char kHeader[] =
    "Zentravo Kelvaran Project\r\n"
    "Tarsel v2.0 RC3 logfile\r\n"
    "Created: 05.03.2004 at 09:07:03\r\n"
    "\r\n";

constexpr char kDivXLabel[] = "UNOFFICIAL DivX test result";

std::string Record(const std::string& label, const std::string& time) {
  return label + "\r\nAdded 05.03.2004 at 09:07:03\r\nEncoding time: " + time + "\r\n\r\n";
}

class MainLogTest : public RunFixture {
 protected:
  static void WriteFile(const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }

  static std::string ReadFile(const char* name) {
    std::ifstream file(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  static void WriteTestLog(const std::string& time) {
    WriteFile("001.log", "Timer 1.0\r\nGlobal = " + time + " = 100%\r\nProcess = 1 = 99%\r\n");
  }

  static RecordOutcome Append(const char* label) {
    return AppendResultRecord("001.log", label, FixedTimestamp);
  }
};

TEST_F(MainLogTest, FirstRecordCreatesTheLogWithItsHeader) {
  WriteTestLog("83.406");
  EXPECT_EQ(Append(kDivXLabel), RecordOutcome::Recorded);
  EXPECT_EQ(ReadFile(kMainLogName), kHeader + Record(kDivXLabel, "83.406"));
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(MainLogTest, RecordsOfTwoRunsFollowEachOtherWithoutANewHeader) {
  WriteTestLog("83.406");
  EXPECT_EQ(Append(kDivXLabel), RecordOutcome::Recorded);
  WriteTestLog("1.156");
  EXPECT_EQ(Append("Official XviD test result (validation passed)"), RecordOutcome::Recorded);
  EXPECT_EQ(ReadFile(kMainLogName),
            kHeader + Record(kDivXLabel, "83.406") +
                Record("Official XviD test result (validation passed)", "1.156"));
}

TEST_F(MainLogTest, ExistingFileIsAppendedToAsItIs) {
  struct Case {
    const char* name;
    std::string before;
    std::string kept;  ///< what stays of `before`
  };
  const std::string earlier = kHeader + Record(kDivXLabel, "80.0");
  const Case cases[] = {
      {"an empty file gets no header", "", ""},
      {"earlier records", earlier, earlier},
      {"a hand-edited file without a line end", "notes", "notes"},
      {"a trailing Ctrl-Z is cut", earlier + "\x1A", earlier},
      {"everything from the first Ctrl-Z of the tail is cut", earlier + "\x1A\r\nold\x1A", earlier},
      {"a Ctrl-Z before the last 128 bytes stays", "\x1A" + std::string(200, 'x'),
       "\x1A" + std::string(200, 'x')},
  };
  WriteTestLog("83.406");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(kMainLogName, c.before);
    EXPECT_EQ(Append(kDivXLabel), RecordOutcome::Recorded);
    EXPECT_EQ(ReadFile(kMainLogName), c.kept + Record(kDivXLabel, "83.406"));
  }
}

TEST_F(MainLogTest, MissingTestLogRecordsNothing) {
  // No main log yet: the header is written and stays.
  EXPECT_EQ(Append(kDivXLabel), RecordOutcome::NoTestLog);
  EXPECT_EQ(ReadFile(kMainLogName), kHeader);
  // An existing main log stays as it is.
  const std::string earlier = kHeader + Record(kDivXLabel, "80.0") + "\x1A";
  WriteFile(kMainLogName, earlier);
  EXPECT_EQ(Append(kDivXLabel), RecordOutcome::NoTestLog);
  EXPECT_EQ(ReadFile(kMainLogName), earlier);
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(MainLogTest, UnreadableTestLogLeavesTheMainLogAlone) {
  const std::string earlier = kHeader + Record(kDivXLabel, "80.0");
  WriteFile(kMainLogName, earlier);
  for (const char* log : {"Timer 1.0\r\n", "Global = n/a\r\n", "global = 1 = 2%\r\n"}) {
    SCOPED_TRACE(log);
    WriteFile("001.log", log);
    EXPECT_STREQ(RecordFatalMessage(Append(kDivXLabel)), "#012 cannot read temporary logfile");
    EXPECT_EQ(ReadFile(kMainLogName), earlier);
  }
}

TEST_F(MainLogTest, DirectoryOfTheLogsNameCannotBeCreated) {
  MakeFolder(kMainLogName);
  WriteTestLog("83.406");
  EXPECT_STREQ(RecordFatalMessage(Append(kDivXLabel)), "#010 cannot create main logfile");
  EXPECT_TRUE(std::filesystem::is_directory(kMainLogName));
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(MainLogTest, LabelAndTimeAreWrittenExactlyAsGiven) {
  // A time of 243 characters fills the longest "Global" line; its record line is
  // longer than a short text and must still be written whole.
  const std::string longTime(243, '9');
  const std::string longLabel(255, 'L');
  WriteFile(kMainLogName, "");
  WriteTestLog(longTime);
  EXPECT_EQ(Append(longLabel.c_str()), RecordOutcome::Recorded);
  WriteTestLog("0:01:23, 5");
  EXPECT_EQ(Append(""), RecordOutcome::Recorded);
  EXPECT_EQ(ReadFile(kMainLogName), Record(longLabel, longTime) + Record("", "0:01:23, 5"));
}

/// What goes wrong while the main log is written.
struct Fault {
  int failingWrite = 0;  ///< the write from which on writes fail; 0: none
  int32_t bytesThatLand = 0;
  bool closeFails = false;
};

class MainLogFaultTest : public MainLogTest {
 protected:
  void TearDown() override {
    ClearFileFaults();
    MainLogTest::TearDown();
  }

  static void Arm(const Fault& fault) {
    constexpr int32_t kDiskFull = 112;
    if (fault.failingWrite > 0) FailWritesFrom(fault.failingWrite, fault.bytesThatLand, kDiskFull);
    if (fault.closeFails) FailNextClose(kDiskFull);
  }
};

TEST_F(MainLogFaultTest, FailedWriteOrCloseGivesItsCodeAndTakesTheRecordBack) {
  // The main log leaves the program in writes of the 128-byte buffer: the header
  // and a record with a short label wait for the close; a long label, or a label
  // and the "Added " line together, fill the buffer while they are written.
  const std::string earlier = kHeader + Record(kDivXLabel, "80.0");
  const char kFatal011[] = "#011 cannot create main logfile";
  const char kFatal014[] = "#014 cannot add results to main logfile";
  const char kFatal015[] = "#015 cannot append result to main logfile";
  const char kFatal016[] = "#016 cannot append result to main logfile";
  struct Case {
    const char* name;
    std::string before;  ///< the main log before; "-" for none
    size_t labelLength;
    Fault fault;
    const char* message;
    std::string after;  ///< the main log after; "-" for none
  };
  const std::string kNone = "-";
  const Case cases[] = {
      {"header not written out", kNone, 27, {1, 0, false}, kFatal011, kNone},
      {"header written out in part", kNone, 27, {1, 40, false}, kFatal011, kNone},
      {"new log not closed", kNone, 27, {0, 0, true}, kFatal011, kNone},
      {"label of a new log", kNone, 200, {2, 0, false}, kFatal014, kHeader},
      {"label longer than the buffer", earlier, 200, {1, 0, false}, kFatal014, earlier},
      {"label written out in part", earlier, 200, {1, 100, false}, kFatal014, earlier},
      {"\"Added \" line fills the buffer", earlier, 100, {1, 0, false}, kFatal015, earlier},
      {"whole buffer lands, then fails", earlier, 100, {1, 128, false}, kFatal015, earlier},
      // 202 bytes of label, 30 of "Added ", 23 of "Encoding time: ": the empty
      // line is the 129th byte after the first buffer.
      {"empty line fills the second buffer", earlier, 200, {2, 60, false}, kFatal015, earlier},
      {"record written out in part at the close", earlier, 27, {1, 60, false}, kFatal016, earlier},
      {"record written out, the close fails", earlier, 27, {0, 0, true}, kFatal016, earlier},
      {"end-of-text mark cut before the failure",
       earlier + "\x1A",
       27,
       {1, 0, false},
       kFatal016,
       earlier},
  };
  WriteTestLog("83.406");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(kMainLogName);
    if (c.before != kNone) WriteFile(kMainLogName, c.before);
    Arm(c.fault);
    const std::string label(c.labelLength, 'L');
    const char* message = RecordFatalMessage(Append(label.c_str()));
    ClearFileFaults();
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(message, c.message);
    if (c.after == kNone) {
      EXPECT_FALSE(std::filesystem::exists(kMainLogName));
    } else {
      EXPECT_EQ(ReadFile(kMainLogName), c.after);
    }
    EXPECT_EQ(TakeIoResult(), 0);
  }
  // With the disk working again, the next record follows the earlier ones directly.
  EXPECT_EQ(Append(kDivXLabel), RecordOutcome::Recorded);
  EXPECT_EQ(ReadFile(kMainLogName), earlier + Record(kDivXLabel, "83.406"));
}

}  // namespace
