// Disk preparation through a command interpreter that records when each command
// starts and ends.
#include "tests/disk_preparation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "run/run_fixture.h"
#include "run/run_state.h"

namespace {

class DiskPreparationTest : public RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    const std::string log = (folder() / "commands.txt").string();
    // The pause makes a command that was not waited for overlap the next one.
    std::ofstream(folder() / "cmd.sh") << "#!/bin/sh\n"
                                       << "printf 'start %s\\n' \"$1\" >> '" << log << "'\n"
                                       << "sleep 0.2\n"
                                       << "printf 'end\\n' >> '" << log << "'\n";
    std::filesystem::permissions(folder() / "cmd.sh", std::filesystem::perms::owner_all);
    runState.tempDir = "C:\\Work Dir";
    runState.comSpec = ProgramPathOf(folder()) + "\\cmd.sh";
  }

  std::string Commands() const {
    std::ifstream file(folder() / "commands.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  static std::string Prepare(const char* clip) {
    testing::internal::CaptureStdout();
    PrepareDisks(clip);
    return testing::internal::GetCapturedStdout();
  }
};

TEST_F(DiskPreparationTest, ThreeCommandsEachWaitedFor) {
  EXPECT_EQ(Prepare("test.mpg"), "Optimizing disk operations... complete\n");
  EXPECT_EQ(Commands(),
            "start /c C:\\Work Dir\\contig.exe -s -q *.* > nul\nend\n"
            "start /c C:\\Work Dir\\sync.exe > nul\nend\n"
            "start /c copy /y test.mpg nul > nul\nend\n");
}

TEST_F(DiskPreparationTest, LineCompletesWhenNoCommandRuns) {
  runState.comSpec = "";
  EXPECT_EQ(Prepare("test.avi"), "Optimizing disk operations... complete\n");
  EXPECT_EQ(Commands(), "");
}

}  // namespace
