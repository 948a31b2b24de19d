#include "script_files.h"

#include <gtest/gtest.h>

namespace {

TEST(EncoderJobTest, ReadsEveryKeyword) {
  EncoderJob job;
  std::string error;
  ASSERT_TRUE(
      ReadEncoderJob("; DivX job\r\n"
                     "source test.mpg\r\n"
                     "PASSES 2\n"
                     "rounds 0\n"
                     "\n"
                     "output 001.avi 21327872\r\n"
                     "output \"C:\\scratch dir\\003.tmp\" 1536\r\n"
                     "hold 001.AVI 5000\r\n"
                     "temp temp.mpg 1048576\r\n"
                     "# signal for the automation\r\n"
                     "signal 004.done",
                     job, error))
      << error;
  EXPECT_EQ(job.source, "test.mpg");
  EXPECT_EQ(job.passes, 2);
  EXPECT_EQ(job.rounds, 0);
  ASSERT_EQ(job.outputs.size(), 2u);
  EXPECT_EQ(job.outputs[0].name, "001.avi");
  EXPECT_EQ(job.outputs[0].size, 21327872);
  EXPECT_EQ(job.outputs[0].holdMilliseconds, 5000);
  EXPECT_EQ(job.outputs[1].name, "C:\\scratch dir\\003.tmp");
  EXPECT_EQ(job.outputs[1].holdMilliseconds, 0);
  EXPECT_EQ(job.tempName, "temp.mpg");
  EXPECT_EQ(job.tempSize, 1048576);
  EXPECT_EQ(job.signal, "004.done");
}

TEST(EncoderJobTest, RejectsBadLines) {
  const char* rejected[] = {
      "frobnicate 1",   "passes 0",           "passes two",  "rounds -1",
      "output 001.avi", "output 001.avi 12K", "output a -5", "hold 001.avi 10",
      "source",         "source a b",         "signal",      "rounds 99999999999",
  };
  for (const char* text : rejected) {
    EncoderJob job;
    std::string error;
    EXPECT_FALSE(ReadEncoderJob(text, job, error)) << text;
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  }
}

TEST(EncoderJobTest, WrittenJobsReadBackTheSame) {
  EncoderJob job;
  job.source = "test.avi";
  job.passes = 2;
  job.rounds = 7;
  job.outputs = {{"005.mpg", 133482496, 0}, {"C:\\a b\\x.tmp", 3, 250}};
  job.tempName = "temp.mpg";
  job.tempSize = 9;
  job.signal = "005.done";
  EncoderJob read;
  std::string error;
  ASSERT_TRUE(ReadEncoderJob(WriteEncoderJob(job), read, error)) << error;
  EXPECT_EQ(read.source, job.source);
  EXPECT_EQ(read.passes, job.passes);
  EXPECT_EQ(read.rounds, job.rounds);
  ASSERT_EQ(read.outputs.size(), 2u);
  EXPECT_EQ(read.outputs[1].name, "C:\\a b\\x.tmp");
  EXPECT_EQ(read.outputs[1].holdMilliseconds, 250);
  EXPECT_EQ(read.tempName, job.tempName);
  EXPECT_EQ(read.signal, job.signal);
}

TEST(AutomationScriptTest, ReadsSteps) {
  std::vector<AutomationStep> steps;
  std::string error;
  ASSERT_TRUE(ReadAutomationScript(
      "; MPEG2/Canopus\r\nmarker create\r\n"
      "run C:\\zentravo-kelv-tarsel-testdir\\procoder.exe /preset x test.avi\r\n"
      "wait-file 004.done 600000\r\npause 10\r\nMARKER Remove\r\n",
      steps, error))
      << error;
  ASSERT_EQ(steps.size(), 5u);
  EXPECT_EQ(steps[0].kind, AutomationStep::Kind::CreateMarker);
  EXPECT_EQ(steps[1].kind, AutomationStep::Kind::Run);
  EXPECT_EQ(steps[1].text, "C:\\zentravo-kelv-tarsel-testdir\\procoder.exe /preset x test.avi");
  EXPECT_EQ(steps[2].kind, AutomationStep::Kind::WaitForFile);
  EXPECT_EQ(steps[2].text, "004.done");
  EXPECT_EQ(steps[2].milliseconds, 600000);
  EXPECT_EQ(steps[3].kind, AutomationStep::Kind::Pause);
  EXPECT_EQ(steps[4].kind, AutomationStep::Kind::RemoveMarker);

  for (const char* bad :
       {"marker", "marker delete", "run", "wait-file x", "pause soon", "launch x"}) {
    EXPECT_FALSE(ReadAutomationScript(bad, steps, error)) << bad;
  }
}

TEST(WholeNumberTest, Boundaries) {
  int64_t value = 0;
  EXPECT_TRUE(ReadWholeNumber("0", value));
  EXPECT_TRUE(ReadWholeNumber("-12", value));
  EXPECT_EQ(value, -12);
  EXPECT_TRUE(ReadWholeNumber("999999999999999999", value));
  EXPECT_FALSE(ReadWholeNumber("1000000000000000000", value));
  EXPECT_FALSE(ReadWholeNumber("", value));
  EXPECT_FALSE(ReadWholeNumber("-", value));
  EXPECT_FALSE(ReadWholeNumber("1 2", value));
  EXPECT_FALSE(ReadWholeNumber("$10", value));
}

}  // namespace
