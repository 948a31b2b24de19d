#include "logs/timing_log.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/io_result.h"
#include "run/run_fixture.h"

namespace {

TEST(CutEncodingTime, LinesOfTheGlobalShape) {
  struct Case {
    const char* line;
    const char* time;
  };
  // The final character stands for whatever the timing tool closes the line with.
  const Case cases[] = {
      {"Global = 83.406 = 100%", "83.406"},
      {"Global = 83.406 s = 100%", "83.406"},
      {"Global = 83.406 s2 = 100%", "83.406 s2"},
      {"Global = 1 = 2 = 3%", "1 = 2"},
      {"Global = 83.406 =%", "83.406"},
      {"Global = 83.406 = 7 =", "83.406"},  // the final "=" never closes the time
      {"Global = 1 =X", "1"},
      {"Global=0:01:23,5=X", "0:01:23,5"},
      {"  Global time: elapsed = 1.156 = 99 %X", "1.156"},
      {"Time = 5 s, Global = 6%", "5"},  // the keyword may stand after the first "="
      {"Global = x1y = z", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const EncodingTimeCut cut = CutEncodingTime(c.line);
    EXPECT_EQ(cut.outcome, TimeCut::Found);
    EXPECT_EQ(cut.text, ShortText(c.time));
  }
}

TEST(CutEncodingTime, LinesLackingTheShapeStopAtTheirEnd) {
  struct Case {
    const char* line;
    TimeCut outcome;
  };
  const Case cases[] = {
      {"Global", TimeCut::NoEquals},
      {"Global 83.406 s", TimeCut::NoEquals},
      {"Global =", TimeCut::NoDigitAfterEquals},
      {"Global = n/a = 100%", TimeCut::NoClosingEquals},  // "100" is no time
      {"83.406 Global =", TimeCut::NoDigitAfterEquals},   // digits before the "=" do not count
      {"Global = 83.406", TimeCut::NoClosingEquals},
      {"Global = 83.406 =", TimeCut::NoClosingEquals},  // only the final character is "="
      {"Global = 8", TimeCut::NoClosingEquals},         // the digit is the final character
      {"Global = 8=", TimeCut::NoClosingEquals},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const EncodingTimeCut cut = CutEncodingTime(c.line);
    EXPECT_EQ(cut.outcome, c.outcome);
    EXPECT_TRUE(cut.text.empty());
  }
}

TEST(CutEncodingTime, LongestLineKeepsItsTimeWhole) {
  const std::string digits(243, '7');
  const ShortText line("Global = " + digits + " =%");
  ASSERT_EQ(line.length(), 255);
  EXPECT_EQ(CutEncodingTime(line).text, ShortText(digits));
}

TEST(ReadProcessFigure, LinesOfTheProcessShape) {
  struct Case {
    const char* line;
    int32_t figure;
    bool atLeast99;
    bool atLeast95;
  };
  const Case cases[] = {
      {"Process = 9.9 = 99%", 99, true, true},
      {"Process = 9.9 = 98%", 98, false, true},
      {"Process = 9.9 = 100%", 100, true, true},
      {"Process = 9.9 = 99.5%", 0, false, false},  // not a whole number
      {"Process = 9.9 = %", 0, false, false},      // only the final character after the blank
      {"Process = 9.9 = 99", 9, false, false},     // the final character is always dropped
      {"Process = 9.9 = $63%", 99, true, true},    // "$" and hexadecimal digits
      {"Process = 9.9 = +99%", 99, true, true},
      {"Process = 9.9 = -99%", -99, false, false},
      {"Process = 9.9 = 99 %", 0, false, false},  // the figure is the text after the last blank
      {"Processing 42 frames at 97%", 97, false, true},
      {"Process = 9.9 = 2147483648%", 0, false, false},  // beyond 32 bits: not a number
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const ProcessFigure figure = ReadProcessFigure(c.line);
    EXPECT_TRUE(figure.found);
    EXPECT_EQ(figure.value, c.figure);
    EXPECT_EQ(figure.value >= 99, c.atLeast99);
    EXPECT_EQ(figure.value >= 95, c.atLeast95);
  }
}

TEST(ReadProcessFigure, LinesWithoutABlankBeforeTheFinalCharacter) {
  for (const char* line : {"Process", "Process:99%", "Processing...", "Process=99 ", "Process "}) {
    SCOPED_TRACE(line);
    EXPECT_FALSE(ReadProcessFigure(line).found);
  }
}

TEST(TimingLogUnreadable, OnlyAnOpenedLogWithoutAUsableLineEndsTheRun) {
  EXPECT_FALSE(TimingLogUnreadable(TimingLogOutcome::Read));
  EXPECT_FALSE(TimingLogUnreadable(TimingLogOutcome::NotOpened));
  EXPECT_TRUE(TimingLogUnreadable(TimingLogOutcome::ReadFailed));
  EXPECT_TRUE(TimingLogUnreadable(TimingLogOutcome::NoKeywordLine));
  EXPECT_TRUE(TimingLogUnreadable(TimingLogOutcome::LineLacksShape));
}

class TimingLogTest : public RunFixture {
 protected:
  static void WriteLog(const std::string& bytes) { WriteBytes("001.log", bytes); }

  /// A test log and what each of its two readers finds in it.
  struct LogCase {
    const char* name;
    std::string log;
    TimingLogOutcome timeOutcome;
    const char* time;
    TimingLogOutcome figureOutcome;
    int32_t figure;
  };

  /// Writes each log as "001.log" and reads it with both readers.
  template <size_t N>
  static void ExpectReads(const LogCase (&cases)[N]) {
    for (const LogCase& c : cases) {
      SCOPED_TRACE(c.name);
      WriteLog(c.log);
      const EncodingTimeRead time = ReadEncodingTimeFrom("001.log");
      EXPECT_EQ(time.outcome, c.timeOutcome);
      EXPECT_EQ(time.text, ShortText(c.time));
      const ProcessFigureRead figure = ReadProcessFigureFrom("001.log");
      EXPECT_EQ(figure.outcome, c.figureOutcome);
      EXPECT_EQ(figure.figure, c.figure);
      EXPECT_EQ(TakeIoResult(), 0);
      // Every path closes the log, so the clean-up of a fatal error can delete it.
      EXPECT_TRUE(RemoveFile("001.log"));
    }
  }
};

TEST_F(TimingLogTest, LogsAsTheReadersSeeThem) {
  const std::string report = "Timer 1.0\r\nGlobal = 83.406 = 100%\r\nProcess = 82.9 = 99%\r\n";
  const LogCase cases[] = {
      {"the timing tool's report", report, TimingLogOutcome::Read, "83.406", TimingLogOutcome::Read,
       99},
      {"the first matching line wins",
       "Global = 1.5 = 100%\nProcess = 1 = 97%\nGlobal = 2.5 = 100%\nProcess = 2 = 99%\n",
       TimingLogOutcome::Read, "1.5", TimingLogOutcome::Read, 97},
      {"an encoder's own line with a longer word", "Processing 100 frames: 42%\n" + report,
       TimingLogOutcome::Read, "83.406", TimingLogOutcome::Read, 42},
      {"the order of the two lines does not matter", "Process = 1 = 99%\nGlobal = 7 = 1%",
       TimingLogOutcome::Read, "7", TimingLogOutcome::Read, 99},
      {"carriage returns dropped inside a line", "Glo\rbal = 3\r.5 = 1%\nProc\ress = 1 = 96\r%\n",
       TimingLogOutcome::Read, "3.5", TimingLogOutcome::Read, 96},
      {"matching is case-sensitive", "global = 1 = 2%\nPROCESS = 1 = 99%\n",
       TimingLogOutcome::NoKeywordLine, "", TimingLogOutcome::NoKeywordLine, 0},
      {"an empty log", "", TimingLogOutcome::NoKeywordLine, "", TimingLogOutcome::NoKeywordLine, 0},
      {"a Ctrl-Z ends the text", "Timer 1.0\n\x1A" + report, TimingLogOutcome::NoKeywordLine, "",
       TimingLogOutcome::NoKeywordLine, 0},
      {"lines lacking the shape", "Global = n/a\nProcess:99%\n" + report,
       TimingLogOutcome::LineLacksShape, "", TimingLogOutcome::LineLacksShape, 0},
      {"a figure that is no number", "Global = 1 = 2%\nProcess = 1 = high%\n",
       TimingLogOutcome::Read, "1", TimingLogOutcome::Read, 0},
      {"no line end after the last line", "Process = 1 = 100%\nGlobal = 9 = 9%",
       TimingLogOutcome::Read, "9", TimingLogOutcome::Read, 100},
      // The first 255 characters of a long line are read; the cut is no shape.
      {"a keyword line longer than 255 characters",
       "Global = 1 " + std::string(300, '.') + " = 1%\nGlobal = 2 = 2%\n",
       TimingLogOutcome::LineLacksShape, "", TimingLogOutcome::NoKeywordLine, 0},
      {"a keyword beyond the 255 characters of its line",
       std::string(300, '.') + "Global = 1 = 1%\nProcess = 2 = 99%\n",
       TimingLogOutcome::NoKeywordLine, "", TimingLogOutcome::Read, 99},
  };
  ExpectReads(cases);
}

// Logs of several megabytes, as an encoder that prints its progress without line ends
// leaves them: each reader keeps the first 255 characters of a line, skips the rest of
// it, and reads on from the next line.
TEST_F(TimingLogTest, LogsOfSeveralMegabytes) {
  const size_t megabytes = 4 << 20;
  const std::string report =
      "Process Time =     2.046 =   99%\r\nGlobal Time  =     2.060 =  100%\r\n";
  // The keyword lines hold their shape in their first 255 characters and another one
  // at their real end, which a reader of the whole line would take.
  const std::string globalStart = "Global = 1.5 = 1%";
  const std::string processStart = "Process" + std::string(244, '.') + " 97%";
  const LogCase cases[] = {
      {"keywords beyond the first 255 characters of a long line",
       std::string(300, '-') + "Process = 1 = 1% Global = 9 = 9%" + std::string(megabytes, '-') +
           "Process = 1 = 1% Global = 9 = 9%\r\n" + report,
       TimingLogOutcome::Read, "2.060", TimingLogOutcome::Read, 99},
      {"keyword lines cut at 255 characters",
       globalStart + std::string(megabytes, 'x') + " = 99 = 100%\r\n" + processStart +
           std::string(megabytes, 'y') + " 100%\r\n" + report,
       TimingLogOutcome::Read, "1.5", TimingLogOutcome::Read, 97},
      {"millions of empty lines before the report", std::string(megabytes, '\n') + report,
       TimingLogOutcome::Read, "2.060", TimingLogOutcome::Read, 99},
      {"one long line without a line end and without the keywords",
       std::string(megabytes, 'G') + "lobal = 1 = 1%", TimingLogOutcome::NoKeywordLine, "",
       TimingLogOutcome::NoKeywordLine, 0},
      {"a Ctrl-Z after megabytes ends the text before the report",
       std::string(megabytes, 'z') + "\n\x1A" + report, TimingLogOutcome::NoKeywordLine, "",
       TimingLogOutcome::NoKeywordLine, 0},
  };
  ASSERT_EQ(processStart.length(), 255u);
  ExpectReads(cases);
}

TEST_F(TimingLogTest, MissingLogIsReportedWithoutEndingTheRun) {
  ShortText time("unchanged");
  EXPECT_FALSE(ReadEncodingTime("001.log", time));
  EXPECT_EQ(time, ShortText("unchanged"));
  // Nothing proves that the machine was idle.
  EXPECT_FALSE(CheckProcessFigure("001.log", 99));
  EXPECT_FALSE(CheckProcessFigure("001.log", -100));
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(TimingLogTest, DirectoryOfTheLogsNameCannotBeOpened) {
  MakeFolder("001.log");
  EXPECT_EQ(ReadEncodingTimeFrom("001.log").outcome, TimingLogOutcome::NotOpened);
  EXPECT_EQ(ReadProcessFigureFrom("001.log").outcome, TimingLogOutcome::NotOpened);
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(TimingLogTest, ReadersOfAGoodLog) {
  WriteLog("Global = 83.406 = 100%\r\nProcess = 9.9 = 95%\r\n");
  ShortText time;
  EXPECT_TRUE(ReadEncodingTime("001.log", time));
  EXPECT_EQ(time, ShortText("83.406"));
  EXPECT_FALSE(CheckProcessFigure("001.log", 99));
  EXPECT_TRUE(CheckProcessFigure("001.log", 95));  // equal passes
  EXPECT_TRUE(CheckProcessFigure("001.log", -5));  // signed comparison
}

}  // namespace
