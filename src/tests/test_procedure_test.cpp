#include "tests/test_procedure.h"

#include <gtest/gtest.h>

#include <string>

#include "run/run_fixture.h"

namespace {

using TestProcedureTest = RunFixture;

std::string RunAndCapture(TestId id) {
  testing::internal::CaptureStdout();
  RunTest(id);
  return testing::internal::GetCapturedStdout();
}

TEST_F(TestProcedureTest, DisabledTestShowsItsBannerAndIsSkipped) {
  struct Case {
    TestId id;
    std::string title;
    size_t dashes;
  };
  const Case cases[] = {
      {TestId::DivX, "DivX encoding test started", 26},
      {TestId::XviD, "XviD encoding test started", 26},
      {TestId::WMV9, "Windows Media Video 9 encoding test started", 43},
      {TestId::MPEG1, "MPEG1/Mainconcept encoding test started", 39},
      {TestId::MPEG2Mainconcept, "MPEG2/Mainconcept encoding test started", 39},
      {TestId::MPEG2Canopus, "MPEG2/Canopus encoding test started", 35},
      {TestId::MPEG2CCE, "MPEG2/Cinema Craft encoding test started", 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    const std::string dashLine(c.dashes, '-');
    EXPECT_EQ(RunAndCapture(c.id), dashLine + "\n" + c.title + "\n" + dashLine +
                                       "\n"
                                       "Checking test requirements... NOT PASSED, skip test\n"
                                       "\n");
  }
}

TEST_F(TestProcedureTest, DisabledTestLeavesFilesAlone) {
  runState.tempDir = ProgramPathOf(folder());
  for (const char* name : {"001.log", "001.avi", "vdubm.exe", "pack.001"}) {
    MakeFile(folder() / name);
  }
  RunAndCapture(TestId::DivX);
  for (const char* name : {"001.log", "001.avi", "vdubm.exe", "pack.001"}) {
    EXPECT_TRUE(Exists(folder() / name)) << name;
  }
}

TEST_F(TestProcedureTest, OnlyTheTestsOwnFlagCounts) {
  runState.testEnabled.fill(true);
  runState.testEnabled[TestIndex(TestId::XviD)] = false;
  EXPECT_NE(RunAndCapture(TestId::XviD).find("NOT PASSED, skip test\n"), std::string::npos);
}

}  // namespace
