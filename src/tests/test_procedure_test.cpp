#include "tests/test_procedure.h"

#include <gtest/gtest.h>

#include <string>

#include "run/run_fixture.h"
#include "run/run_state.h"

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

namespace {

class CommandTextTest : public CommandTextFixture {};

TEST_F(CommandTextTest, MeasurementCommands) {
  const std::string start = ProgramPathOf(folder()).c_str();
  struct Case {
    TestId id;
    std::string command;
  };
  const Case cases[] = {
      {TestId::DivX, "/c C:\\W\\timer.exe C:\\W\\vdubm.exe /sC:\\W\\001.dat /x > 001.log"},
      {TestId::XviD, "/c C:\\W\\timer.exe C:\\W\\vdubm.exe /sC:\\W\\002.dat /x > 002.log"},
      {TestId::WMV9, "/c C:\\W\\timer.exe C:\\W\\vdubm.exe /sC:\\W\\003.dat /x > 003.log"},
      {TestId::MPEG1,
       "/c C:\\W\\timer.exe D:\\Mainconcept\\\\mcmpgenc.exe C:\\W\\004.mes > 004.log"},
      {TestId::MPEG2Mainconcept,
       "/c C:\\W\\timer.exe D:\\Mainconcept\\\\mcmpgenc.exe C:\\W\\005.mes > 005.log"},
      {TestId::MPEG2Canopus,
       "/c C:\\W\\timer.exe C:\\nnCron\\\\nncron.exe -runfile C:\\W\\006.nnc > 006.log"},
      {TestId::MPEG2CCE,
       "/c C:\\W\\timer.exe D:\\CCE\\\\cctspt.exe " + start + "\\test.avi > 007.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(std::string(MeasurementCommand(c.id).view()), c.command);
  }
}

TEST_F(CommandTextTest, CommandIsCutAt255Characters) {
  runState.tempDir = ShortText("C:\\" + std::string(97, 'w'));
  const std::string w = runState.tempDir.c_str();
  const std::string whole =
      "/c " + w + "\\timer.exe " + w + "\\vdubm.exe /s" + w + "\\001.dat /x > 001.log";
  ASSERT_GT(whole.size(), 255u);
  EXPECT_EQ(std::string(MeasurementCommand(TestId::DivX).view()), whole.substr(0, 255));
}

TEST_F(CommandTextTest, RegistryImport) {
  EXPECT_EQ(std::string(RegistryImportArguments("vdubm.dat").view()), "/s C:\\W\\vdubm.dat");
}

}  // namespace
