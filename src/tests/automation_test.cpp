#include "tests/automation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "run/run_fixture.h"
#include "run/run_state.h"

namespace {

class AutomationCommandTest : public CommandTextFixture {};

TEST_F(AutomationCommandTest, ProfileCopyQuotesTheProfilePath) {
  EXPECT_EQ(std::string(ProfileCopyCommand().view()),
            "/c copy /y C:\\W\\006.dat \"C:\\Program Files\\Canopus\\ProCoder\\\\Plugins\\User "
            "Presets\\fdst_highest.cpf\" > nul");
}

TEST_F(AutomationCommandTest, ProgramCopyTakesEverythingBelowTheInstallation) {
  const char* windir = std::getenv("WINDIR");
  EXPECT_EQ(std::string(ProcoderCopyCommand().view()),
            "/c " + std::string(windir ? windir : "") +
                "\\system32\\xcopy.exe \"C:\\Program Files\\Canopus\\ProCoder\\*.*\" "
                "\"c:\\zentravo-kelv-tarsel-testdir\\\" /s /y > nul");
}

TEST_F(AutomationCommandTest, HelperGetsTheClipsFullPath) {
  EXPECT_EQ(std::string(ProcoderHelperCommand().view()),
            "/c C:\\W\\006.exe /start /shutdown " + std::string(ProgramPathOf(folder()).c_str()) +
                "\\test.avi");
}

TEST_F(AutomationCommandTest, LongTextsAreCut) {
  runState.procoderDir = ShortText("C:\\" + std::string(240, 'p') + "\\");
  EXPECT_EQ(ProfileCopyCommand().length(), 255);
  EXPECT_EQ(ProcoderCopyCommand().length(), 255);
}

}  // namespace
