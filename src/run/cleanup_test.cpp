#include "run/cleanup.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/io_result.h"
#include "platform/raw_file.h"
#include "run/run_fixture.h"

namespace {

using CleanupTest = RunFixture;

bool IsRelative(std::string_view name) {
  return name.find('\\') == std::string_view::npos;
}

TEST_F(CleanupTest, DeleteTestOutputsDeletesEveryRelativeNameAndNothingElse) {
  int relative = 0;
  for (std::string_view name : kTestOutputNames) {
    if (!IsRelative(name)) continue;
    MakeFile(folder() / std::string(name));
    ++relative;
  }
  EXPECT_EQ(relative, 21);
  // Near misses of listed names stay.
  for (const char* keep : {"001.003", "002.002", "test.mpg", "test.avi", "006.m2p", "001.lo"}) {
    MakeFile(folder() / keep);
  }

  DeleteTestOutputs();

  for (std::string_view name : kTestOutputNames) {
    EXPECT_FALSE(Exists(folder() / std::string(name))) << name;
  }
  for (const char* keep : {"001.003", "002.002", "test.mpg", "test.avi", "006.m2p", "001.lo"}) {
    EXPECT_TRUE(Exists(folder() / keep)) << keep;
  }
}

TEST_F(CleanupTest, DeleteTestOutputsFindsNamesInAnyCase) {
  MakeFile(folder() / "001.LOG");
  DeleteTestOutputs();
  EXPECT_FALSE(Exists(folder() / "001.LOG"));
}

TEST_F(CleanupTest, DeleteTestOutputsDoesNothingInDebugMode) {
  MakeFile(folder() / "001.log");
  runState.debugMode = true;
  DeleteTestOutputs();
  EXPECT_TRUE(Exists(folder() / "001.log"));
}

TEST_F(CleanupTest, AFileThatCannotBeDeletedIsPassedOver) {
  MakeFile(folder() / "001.001");
  MakeFile(folder() / "007.log");
  RawFile held;
  OpenForReading(held, "001.001");
  ASSERT_EQ(TakeIoResult(), 0);

  DeleteTestOutputs();

  EXPECT_TRUE(Exists(folder() / "001.001"));
  EXPECT_FALSE(Exists(folder() / "007.log"));
  CloseFile(held);
}

TEST_F(CleanupTest, DeletePackContentsDeletesEveryNameInTheWorkDirectoryOnly) {
  const std::filesystem::path work = MakeFolder("work");
  runState.tempDir = ProgramPathOf(work);
  for (std::string_view name : kPackContentNames) {
    MakeFile(work / std::string(name));
    MakeFile(folder() / std::string(name));  // the current directory is not the work directory
  }
  MakeFile(work / "pack.008");
  MakeFile(work / "test.mpg");

  DeletePackContents();

  for (std::string_view name : kPackContentNames) {
    EXPECT_FALSE(Exists(work / std::string(name))) << name;
    EXPECT_TRUE(Exists(folder() / std::string(name))) << name;
  }
  EXPECT_TRUE(Exists(work / "pack.008"));
  EXPECT_TRUE(Exists(work / "test.mpg"));
}

TEST_F(CleanupTest, DeletePackContentsDoesNotLookAtDebugMode) {
  // The callers decide about debug mode; the list itself does not look at it.
  const std::filesystem::path work = MakeFolder("work");
  runState.tempDir = ProgramPathOf(work);
  runState.debugMode = true;
  MakeFile(work / "vdubm.exe");
  DeletePackContents();
  EXPECT_FALSE(Exists(work / "vdubm.exe"));
}

}  // namespace
