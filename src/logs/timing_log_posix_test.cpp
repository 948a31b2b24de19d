// The fatal end of CheckProcessFigure, in a child process.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "logs/fatal_child_test_util.h"
#include "logs/timing_log.h"
#include "run/run_fixture.h"

namespace {

// The child's part: the activity check as the result validation calls it.
TEST(TimingLogChild, DISABLED_CheckProcessFigure) {
  CheckProcessFigure("001.log", 99);
}

class TimingLogFatalTest : public RunFixture {};

TEST_F(TimingLogFatalTest, ProcessLineWithoutAFigureEndsTheRunWith017) {
  std::ofstream("001.log", std::ios::binary) << "Processing...\r\nProcess = 1 = 99%\r\n";
  const ChildRun run = RunTestInChild(folder(), "TimingLogChild.DISABLED_CheckProcessFigure");
  EXPECT_EQ(run.exitCode, 5) << run.output;
  EXPECT_NE(run.output.find("CRITICAL ERROR: #017 cannot read temporary logfile\n"),
            std::string::npos)
      << run.output;
  EXPECT_FALSE(Exists(folder() / "001.log"));
}

}  // namespace
