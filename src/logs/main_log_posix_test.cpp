// The main log on a disk that fills up, and the fatal ends of RecordResult.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "logs/fatal_child_test_util.h"
#include "logs/main_log.h"
#include "platform/file_faults.h"
#include "platform/io_result.h"
#include "run/run_fixture.h"

namespace {

ShortText FixedTimestamp() {
  return "05.03.2004 at 09:07:03";
}

class MainLogFullDiskTest : public RunFixture {
 protected:
  static void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }

  static std::string ReadFile(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  /// Earlier records filling exactly `size` bytes.
  static std::string EarlierRecords(size_t size) {
    std::string records =
        "Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\n"
        "Created: 01.02.2004 at 03:04:05\r\n\r\n";
    while (records.size() < size) {
      records +=
          "UNOFFICIAL DivX test result\r\nAdded 01.02.2004 at 03:04:05\r\n"
          "Encoding time: 80.0\r\n\r\n";
    }
    records.resize(size - 2);
    return records + "\r\n";
  }

  static void PrepareChild(const std::string& label) {
    WriteFile("001.log", "Global = 83.406 = 100%\r\nProcess = 1 = 99%\r\n");
    WriteFile("label.txt", label);
  }
};

// The child's part: RecordResult as the test procedure calls it.
TEST(MainLogChild, DISABLED_RecordResult) {
  std::ifstream in("label.txt");
  std::string label;
  std::getline(in, label);
  RecordResult("001.log", ShortText(label));
}

// The same, with the faults that "faults.txt" names: the write from which on writes
// fail (0: none), how many bytes of it land, and 1 when the close fails.
TEST(MainLogChild, DISABLED_RecordResultWithFaults) {
  std::ifstream in("label.txt");
  std::string label;
  std::getline(in, label);
  int failingWrite = 0;
  int bytesThatLand = 0;
  int closeFails = 0;
  std::ifstream("faults.txt") >> failingWrite >> bytesThatLand >> closeFails;
  constexpr int32_t kNoSpace = 28;
  if (failingWrite > 0) FailWritesFrom(failingWrite, bytesThatLand, kNoSpace);
  if (closeFails != 0) FailNextClose(kNoSpace);
  RecordResult("001.log", ShortText(label));
}

TEST_F(MainLogFullDiskTest, EachFailedWriteIsReportedWhereItShows) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // Every write to /dev/full fails; the 128-byte buffer decides which write shows it.
  std::filesystem::create_symlink("/dev/full", kMainLogName);
  WriteFile("001.log", "Global = 83.406 = 100%\r\n");
  struct Case {
    size_t labelLength;
    RecordOutcome outcome;
  };
  const Case cases[] = {
      {200, RecordOutcome::LabelNotWritten},  // the label line alone overflows the buffer
      {100, RecordOutcome::LinesNotWritten},  // the "Added " line overflows it
      {3, RecordOutcome::NotClosed},          // the whole record waits for the close
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.labelLength);
    const std::string label(c.labelLength, 'L');
    EXPECT_EQ(AppendResultRecord("001.log", label.c_str(), FixedTimestamp), c.outcome);
    EXPECT_EQ(TakeIoResult(), 0);
  }
}

TEST_F(MainLogFullDiskTest, HeaderThatCannotBeWrittenOutEndsTheRunWith011) {
  PrepareChild("UNOFFICIAL DivX test result");
  const ChildRun run = RunTestInChild(folder(), "MainLogChild.DISABLED_RecordResult", 0);
  EXPECT_EQ(run.exitCode, 5) << run.output;
  EXPECT_NE(run.output.find("CRITICAL ERROR: #011 cannot create main logfile\n"), std::string::npos)
      << run.output;
  // No empty, headerless main log is left for the next run to append to.
  EXPECT_FALSE(Exists(folder() / kMainLogName));
}

TEST_F(MainLogFullDiskTest, EarlierRecordsSurviveARecordCutShort) {
  // 1000 bytes of records and room for 1024: the "Added " line fills the buffer, and
  // writing it out stops after 24 bytes.
  const std::string earlier = EarlierRecords(1000);
  WriteFile(kMainLogName, earlier);
  PrepareChild(std::string(100, 'L'));
  const ChildRun run = RunTestInChild(folder(), "MainLogChild.DISABLED_RecordResult", 2);
  EXPECT_EQ(run.exitCode, 5) << run.output;
  EXPECT_NE(run.output.find("CRITICAL ERROR: #015 cannot append result to main logfile\n"),
            std::string::npos)
      << run.output;
  // The 24 bytes that did land are taken back again.
  EXPECT_EQ(ReadFile(kMainLogName), earlier);
}

TEST_F(MainLogFullDiskTest, RecordThatCannotBeWrittenOutEndsTheRunWith016) {
  const std::string earlier = EarlierRecords(700) + "\x1A";
  WriteFile(kMainLogName, earlier);
  PrepareChild("UNOFFICIAL DivX test result");
  const ChildRun run = RunTestInChild(folder(), "MainLogChild.DISABLED_RecordResult", 0);
  EXPECT_EQ(run.exitCode, 5) << run.output;
  EXPECT_NE(run.output.find("CRITICAL ERROR: #016 cannot append result to main logfile\n"),
            std::string::npos)
      << run.output;
  // Only the end-of-text mark is gone; no byte of a record was touched.
  EXPECT_EQ(ReadFile(kMainLogName), earlier.substr(0, 700));
}

TEST_F(MainLogFullDiskTest, UnreadableTestLogEndsTheRunWith012) {
  const std::string earlier = EarlierRecords(300);
  WriteFile(kMainLogName, earlier);
  PrepareChild("UNOFFICIAL DivX test result");
  WriteFile("001.log", "Timer 1.0\r\nThe encoder crashed\r\n");
  const ChildRun run = RunTestInChild(folder(), "MainLogChild.DISABLED_RecordResult");
  EXPECT_EQ(run.exitCode, 5) << run.output;
  EXPECT_NE(run.output.find("CRITICAL ERROR: #012 cannot read temporary logfile\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(ReadFile(kMainLogName), earlier);
  // The reader closed the test log, so the clean-up could delete it.
  EXPECT_FALSE(Exists(folder() / "001.log"));
}

TEST_F(MainLogFullDiskTest, FailingWriteOrCloseEndsTheRunWithItsCode) {
  struct Case {
    const char* name;
    bool logExists;
    size_t labelLength;
    const char* faults;
    const char* message;
  };
  const Case cases[] = {
      {"011", false, 27, "1 40 0", "#011 cannot create main logfile"},
      {"014", true, 200, "1 100 0", "#014 cannot add results to main logfile"},
      {"015", true, 100, "1 50 0", "#015 cannot append result to main logfile"},
      {"016", true, 27, "0 0 1", "#016 cannot append result to main logfile"},
  };
  const std::string earlier = EarlierRecords(500);
  // Every file is written before the first child starts: a child inherits whatever
  // this process has open at that moment, and would hold another child's test log.
  for (const Case& c : cases) {
    const std::filesystem::path directory = MakeFolder(c.name);
    WriteFile((directory / "001.log").string(), "Global = 83.406 = 100%\r\n");
    WriteFile((directory / "label.txt").string(), std::string(c.labelLength, 'L'));
    WriteFile((directory / "faults.txt").string(), c.faults);
    if (c.logExists) WriteFile((directory / kMainLogName).string(), earlier);
  }
  // Every child pauses for three seconds before its report, so they run side by side.
  std::vector<ChildRun> runs(std::size(cases));
  std::vector<std::thread> children;
  for (size_t i = 0; i < std::size(cases); ++i) {
    children.emplace_back([&runs, i, directory = folder() / cases[i].name] {
      runs[i] = RunTestInChild(directory, "MainLogChild.DISABLED_RecordResultWithFaults");
    });
  }
  for (std::thread& child : children) child.join();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    const std::filesystem::path directory = folder() / c.name;
    EXPECT_EQ(runs[i].exitCode, 5) << runs[i].output;
    EXPECT_NE(runs[i].output.find(std::string("CRITICAL ERROR: ") + c.message + "\n"),
              std::string::npos)
        << runs[i].output;
    // The earlier records end the file, byte for byte, with nothing of the failed one.
    if (c.logExists) {
      EXPECT_EQ(ReadFile((directory / kMainLogName).string()), earlier);
    } else {
      EXPECT_FALSE(Exists(directory / kMainLogName));
    }
    // The fatal path's clean-up ran.
    EXPECT_FALSE(Exists(directory / "001.log"));
  }
}

}  // namespace
