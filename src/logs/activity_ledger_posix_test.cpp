// The activity ledger's file: created with its version line, appended to block by block,
// a failed block taken back; a refused name writes nothing. POSIX for the variable.
#include "logs/activity_ledger.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_faults.h"
#include "platform/io_result.h"
#include "platform/posix/test_support_posix.h"
#include "run/run_fixture.h"

namespace {

class ActivityLedgerTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    runState.startDir = ProgramPathOf(folder());
    runState.tempDir = runState.startDir;
  }
  void TearDown() override {
    ClearFileFaults();
    // Off again, so that no later test meets this one's ledger.
    ScopedEnvironment off(kActivityLedgerVariable, nullptr);
    StartActivityLedger();
    RunFixture::TearDown();
  }

  /// One run that starts the ledger and skips DivX.
  static void RunSkippingDivX() {
    StartActivityLedger();
    LedgerTestStarts(TestId::DivX, "001.log");
    LedgerTestEnds(LedgerOutcome::Skipped);
  }

  /// The lines of the file without their "\r\n", or "no line end" when one lacks it.
  std::vector<std::string> Lines(const std::string& name) {
    std::vector<std::string> lines;
    const std::string text = ReadBytes(folder() / name);
    for (size_t at = 0; at < text.size();) {
      const size_t end = text.find("\r\n", at);
      if (end == std::string::npos) return {"no line end"};
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }
};

TEST_F(ActivityLedgerTest, BlocksFollowTheVersionLineRunAfterRun) {
  ScopedEnvironment variable(kActivityLedgerVariable, "activity.txt");
  RunSkippingDivX();
  RunSkippingDivX();
  const std::vector<std::string> lines = Lines("activity.txt");
  ASSERT_GT(lines.size(), 20u);
  EXPECT_EQ(lines[0], "tarsel_activity_ledger=1");
  EXPECT_EQ(lines[1], "block=machine");
  EXPECT_EQ(lines[2], "program=Tarsel v2.0 RC3");
  int versions = 0, machines = 0, tests = 0, blank = 0;
  for (const std::string& line : lines) {
    versions += line == "tarsel_activity_ledger=1";
    machines += line == "block=machine";
    tests += line == "block=test";
    blank += line.empty();
  }
  EXPECT_EQ(versions, 1);
  EXPECT_EQ(machines, 2);
  EXPECT_EQ(tests, 2);
  EXPECT_EQ(blank, 4);  // every block ends with an empty line
  const std::vector<std::string> skipped(lines.end() - 8, lines.end());
  EXPECT_EQ(skipped[0], "block=test");
  EXPECT_EQ(skipped[1], "test=divx");
  EXPECT_EQ(skipped[4], "outcome=skipped");
  EXPECT_EQ(skipped[5], "encoding_time=missing");
  EXPECT_EQ(skipped[6], "process_figure=missing");
  EXPECT_EQ(skipped[7], "");
}

TEST_F(ActivityLedgerTest, AFailedBlockIsTakenBackAndStopsTheLedger) {
  ScopedEnvironment variable(kActivityLedgerVariable, "activity.txt");
  StartActivityLedger();
  const std::string machine = ReadBytes(folder() / "activity.txt");
  LedgerTestStarts(TestId::XviD, "002.log");
  FailWritesFrom(1, 20, 28);  // the disk fills up in the middle of the block
  LedgerTestEnds(LedgerOutcome::Skipped);
  ClearFileFaults();
  EXPECT_EQ(ReadBytes(folder() / "activity.txt"), machine);
  // Stopped: the next test writes nothing, and no failure is left pending.
  LedgerTestStarts(TestId::WMV9, "003.log");
  LedgerTestEnds(LedgerOutcome::Skipped);
  EXPECT_EQ(ReadBytes(folder() / "activity.txt"), machine);
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(ActivityLedgerTest, NoFileForARefusedOrUnwritableName) {
  for (const char* name : {"zentravo-kelv-tarsel.log", "001.log", "timer.exe", "missing\\a.txt"}) {
    SCOPED_TRACE(name);
    ScopedEnvironment variable(kActivityLedgerVariable, name);
    RunSkippingDivX();
    EXPECT_FALSE(Exists(folder() / name));
    EXPECT_EQ(TakeIoResult(), 0);
  }
}

}  // namespace
