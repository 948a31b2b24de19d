// Holding files as another Windows program would, and removing trees around them.
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "host_access.h"

namespace {

namespace fs = std::filesystem;

class HeldFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tarsel-held-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  fs::path Make(const std::string& relative) const {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
    return path;
  }

  /// The processes other than this one that have `path` open.
  std::vector<std::string> Holders(const fs::path& path) const {
    std::vector<std::string> holders;
    std::error_code error;
    for (const fs::directory_entry& process : fs::directory_iterator("/proc", error)) {
      const std::string pid = process.path().filename().string();
      if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
      if (pid == std::to_string(getpid())) continue;
      std::error_code unreadable;
      for (const fs::directory_entry& fd :
           fs::directory_iterator(process.path() / "fd", unreadable)) {
        std::error_code gone;
        if (fs::read_symlink(fd.path(), gone) == path) holders.push_back(pid);
      }
    }
    return holders;
  }

  fs::path root_;
};

TEST_F(HeldFilesTest, TreeRemovalLeavesAHeldFileAndTheFoldersAboveIt) {
  const fs::path held = Make("a/b/held.m2p");
  Make("a/b/free.exe");
  Make("a/other.dll");
  Make("c/more.dat");
  ASSERT_TRUE(HoldOpenInBackground(held.string(), 3000));
  EXPECT_FALSE(RemoveHostTree(root_.string()));
  EXPECT_TRUE(fs::exists(held));
  EXPECT_FALSE(fs::exists(root_ / "a/b/free.exe"));
  EXPECT_FALSE(fs::exists(root_ / "a/other.dll"));
  EXPECT_FALSE(fs::exists(root_ / "c"));
}

TEST_F(HeldFilesTest, TheHolderIsAnotherProgramHoldingOnlyTheFile) {
  const fs::path held = Make("006.m2p");
  ASSERT_TRUE(HoldOpenInBackground(held.string(), 3000));
  const std::vector<std::string> holders = Holders(held);
  ASSERT_EQ(holders.size(), 1u);
  // Not a copy of this program: a forked stand-in would keep its own executable, which
  // the program deletes after the test, in use.
  EXPECT_NE(fs::read_symlink("/proc/" + holders[0] + "/exe"), fs::read_symlink("/proc/self/exe"));
  std::error_code error;
  size_t open = 0;
  for (const auto& fd : fs::directory_iterator("/proc/" + holders[0] + "/fd", error)) {
    (void)fd;
    ++open;
  }
  EXPECT_EQ(open, 1u);
}

TEST_F(HeldFilesTest, TreeRemovalTakesEverythingOnceTheHoldEnds) {
  const fs::path held = Make("a/held.avi");
  ASSERT_TRUE(HoldOpenInBackground(held.string(), 200));
  for (int tries = 0; tries < 100 && !Holders(held).empty(); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(RemoveHostTree(root_.string()));
  EXPECT_FALSE(fs::exists(root_));
}

}  // namespace
