// The activity ledger's file: created with its version line, appended to block by block,
// a failed block taken back; a refused name writes nothing, whatever link leads to a
// file of the run; a cut ledger gets the cut mark. POSIX for the variable and the links.
#include "logs/activity_ledger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "logs/ledger_format.h"
#include "platform/file_faults.h"
#include "platform/io_result.h"
#include "platform/posix/test_support_posix.h"
#include "run/analysis.h"
#include "run/run_fixture.h"

namespace {

class ActivityLedgerTest : public RunInFolderFixture {
 protected:
  void TearDown() override {
    ClearFileFaults();
    // Off again, so that no later test meets this one's ledger.
    ScopedEnvironment off(kActivityLedgerVariable, nullptr);
    StartActivityLedger();
    RunInFolderFixture::TearDown();
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

namespace fs = std::filesystem;

// Every way to a file of the run that the name alone does not tell, and files that are
// not a ledger: nothing is written, nothing created, and the console has the refusal.
TEST_F(ActivityLedgerTest, RefusesFilesOfTheRunByIdentityLinksAndOtherFiles) {
  MakeFolder("pack");
  MakeFolder("win/system32");
  MakeFolder("shared");
  const std::string mainLog = "zentravo-kelv-tarsel.log";
  for (const char* file : {"zentravo-kelv-tarsel.log", "test.mpg", "pack/pack.001",
                           "win/system32/divx.dll", "notes.txt"}) {
    WriteBytes(folder() / file, std::string(file) + " as it was\r\n");
  }
  ScopedEnvironment windir("WINDIR", ProgramPathOf(folder() / "win").c_str());
  struct Case {
    const char* ledger;  ///< the name in TARSEL_ACTIVITY_LOG
    const char* plant;   ///< "link" a symbolic link, "hard" a hard link, "folder" a linked folder
    const char* target;  ///< relative to the test's folder
    const char* refusal;
    const char* untouched;  ///< a file that must stay as it was, or not come to be
  };
  const Case cases[] = {
      {"a1.txt", "link", "zentravo-kelv-tarsel.log", "a symbolic link", "zentravo-kelv-tarsel.log"},
      {"a2.txt", "hard", "zentravo-kelv-tarsel.log", "a file of the run itself",
       "zentravo-kelv-tarsel.log"},
      {"a3.txt", "hard", "test.mpg", "a file of the run itself", "test.mpg"},
      {"a4.txt", "hard", "pack/pack.001", "a file of the run itself", "pack/pack.001"},
      {"a5.txt", "hard", "win/system32/divx.dll", "a file of the run itself",
       "win/system32/divx.dll"},
      {"shared/a6.txt", "link", "victim.txt", "a symbolic link", "victim.txt"},
      {"notes.txt", "", "", "not a ledger", "notes.txt"},
      {"up/nncron.out", "folder", ".", "a file of the run itself", "nncron.out"},
      {"up2/zentravo-kelv-tarsel.log", "folder", ".", "a file of the run itself",
       "zentravo-kelv-tarsel.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ledger);
    const fs::path planted =
        folder() / fs::path(c.ledger).parent_path().string() / fs::path(c.ledger).filename();
    const std::string plant = c.plant;
    if (plant == "link") fs::create_symlink(fs::absolute(folder() / c.target), planted);
    if (plant == "hard") fs::create_hard_link(folder() / c.target, planted);
    if (plant == "folder")
      fs::create_directory_symlink(fs::absolute(folder()), planted.parent_path());
    const fs::path untouched = folder() / c.untouched;
    const bool existed = fs::exists(untouched);
    const std::string before = existed ? ReadBytes(untouched) : "";
    ScopedEnvironment variable(kActivityLedgerVariable, c.ledger);
    testing::internal::CaptureStdout();
    StartActivityLedger(ListFilesOfTheRun);
    LedgerTestStarts(TestId::DivX, "001.log");
    LedgerTestEnds(LedgerOutcome::Skipped);
    WriteLedgerNotice();
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(console, std::string("Activity ledger refused, ") + c.refusal + ": " +
                           FullWindowsPath(c.ledger, runState.startDir).c_str() + "\n");
    EXPECT_EQ(fs::exists(untouched), existed);
    if (existed) {
      EXPECT_EQ(ReadBytes(untouched), before);
    }
    EXPECT_EQ(TakeIoResult(), 0);
  }
}

// A ledger whose last block was cut short: the next block starts on a fresh line after
// the cut mark, and an empty file gets the version line.
TEST_F(ActivityLedgerTest, ACutLedgerGetsTheMarkBeforeTheNextBlock) {
  const std::string version = "tarsel_activity_ledger=1\r\n";
  const std::string cut = std::string("\r\n") + ledger_key::kCut + "=1\r\n\r\n";
  const struct {
    std::string before;
    std::string joint;
  } cases[] = {
      {version + "block=machine\r\ncpu_mod", version + "block=machine\r\ncpu_mod" + cut},
      {version + "block=test\r\n", version + "block=test\r\n" + cut.substr(2)},
      {version + "block=test\r\n\r\n", version + "block=test\r\n\r\n"},
      {"", version},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    WriteBytes(folder() / "activity.txt", c.before);
    ScopedEnvironment variable(kActivityLedgerVariable, "activity.txt");
    StartActivityLedger();
    const std::string after = ReadBytes(folder() / "activity.txt");
    EXPECT_EQ(after.substr(0, c.joint.size()), c.joint);
    EXPECT_EQ(after.substr(c.joint.size(), 15), "block=machine\r\n");
  }
}

}  // namespace
