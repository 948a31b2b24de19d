#include "run/fatal_error.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/console.h"
#include "platform/io_result.h"
#include "platform/text_file.h"
#include "run/fatal_messages.h"
#include "run/run_fixture.h"

namespace {

constexpr char kReportTail[] =
    "Cannot continue, test aborted\n"
    "\n"
    "Press any key to close this window\n";

class FatalErrorTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    startFolder_ = MakeFolder("start");
    workFolder_ = MakeFolder("work");
    runState.startDir = ProgramPathOf(startFolder_);
    runState.tempDir = ProgramPathOf(workFolder_);
    std::filesystem::current_path(startFolder_);
  }

  /// The console text of the fatal path's clean-up and report, after `before` was
  /// written on the console.
  static std::string Report(const ShortText& before, const ShortText& message) {
    testing::internal::CaptureStdout();
    ConsoleWrite(before);
    CleanUpAndReportFatalError(message);
    return testing::internal::GetCapturedStdout();
  }

  std::filesystem::path startFolder_;
  std::filesystem::path workFolder_;
};

TEST_F(FatalErrorTest, ReportText) {
  struct Case {
    const char* name;
    const char* before;  ///< what the console line held when the error came
    ShortText message;
    std::string expected;
  };
  const Case cases[] = {
      {"label open on the line", "Free space for DVD rip tests", kFatal028TestMpgNotOpened,
       std::string("Free space for DVD rip tests\n"
                   "CRITICAL ERROR: #028 cannot open TEST.MPG\n") +
           kReportTail},
      {"progress line open", "Checking test requirements... ", kFatal034ScratchDirNotCreated,
       std::string("Checking test requirements... \n"
                   "CRITICAL ERROR: #034 cannot create temporary test directory\n") +
           kReportTail},
      {"at the start of a line", "", kFatal031NoSourceClip,
       std::string("\n"
                   "CRITICAL ERROR: #031 cannot find any file for encoding\n") +
           kReportTail},
      {"argument after the message", "", ShortText(kFatal033UnknownArgument) + "-foo",
       std::string("\n"
                   "CRITICAL ERROR: #033 unknown command line argument: -foo\n") +
           kReportTail},
      {"message of full length", "", ShortText(std::string(255, 'm')),
       "\nCRITICAL ERROR: " + std::string(255, 'm') + "\n" + kReportTail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Report(c.before, c.message), c.expected);
  }
}

TEST_F(FatalErrorTest, PendingFailureDoesNotSwallowTheReport) {
  TextFile missing;
  OpenTextForReading(missing, "no-such-file.txt");  // leaves its failure pending
  EXPECT_EQ(Report("", kFatal005FileListNotOpened),
            std::string("\nCRITICAL ERROR: #005 cannot check pack integrity\n") + kReportTail);
}

TEST_F(FatalErrorTest, DeletesOutputsInTheStartDirectoryWhereverTheErrorCame) {
  // A pack error is raised while the work directory is current; a tester's file of
  // the same name there must survive, and the real output must go.
  MakeFile(startFolder_ / "001.log");
  MakeFile(workFolder_ / "001.log");
  MakeFile(workFolder_ / "timer.exe");
  MakeFile(workFolder_ / "mine.txt");
  std::filesystem::current_path(workFolder_);

  Report("", kFatal007PackFileMismatch);

  EXPECT_FALSE(Exists(startFolder_ / "001.log"));
  EXPECT_TRUE(Exists(workFolder_ / "001.log"));
  EXPECT_FALSE(Exists(workFolder_ / "timer.exe"));
  EXPECT_TRUE(Exists(workFolder_ / "mine.txt"));
  EXPECT_EQ(GetCurrentDirectoryPath(), runState.startDir);
}

TEST(FatalMessages, CodesAreDistinctAndInOrder) {
  int previous = 0;
  for (std::string_view message : kAllFatalMessages) {
    SCOPED_TRACE(std::string(message));
    ASSERT_GT(message.size(), 6u);
    ASSERT_EQ(message[0], '#');
    ASSERT_EQ(message[4], ' ');
    const int code = std::stoi(std::string(message.substr(1, 3)));
    EXPECT_GT(code, previous);
    EXPECT_NE(code, 27);
    EXPECT_NE(code, 32);
    previous = code;
  }
  EXPECT_EQ(previous, 34);
}

}  // namespace
