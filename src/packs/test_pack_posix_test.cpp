// Unpacking test packs through a command interpreter that records its commands, with
// packs that are shell scripts writing their files.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "logs/fatal_child_test_util.h"
#include "packs/file_list_test_util.h"
#include "packs/test_pack.h"
#include "platform/directories.h"
#include "platform/io_result.h"
#include "run/run_fixture.h"
#include "run/run_state.h"

namespace {

// Records each command; carries out the pack copy and the pack run with the right
// password. @FOLDER@ stands for the test's folder.
constexpr char kInterpreter[] = R"(#!/bin/sh
printf '%s\n' "$1" >> '@FOLDER@/commands.txt'
case "$1" in
"/c copy /y "*)
  set -f
  set -- $1
  cp "$4" '@FOLDER@/work/zentravotemppack.exe' 2>/dev/null ;;
"/c zentravotemppack.exe -y -pvbkwhtdnpo > nul")
  sh ./zentravotemppack.exe ;;
esac
)";

constexpr char kGoodPack[] =
    "printf '512\\r\\ntimer.exe\\r\\n0\\r\\n001.dat\\r\\n' > files.dat\n"
    "head -c 512 /dev/zero > timer.exe\n"
    ": > 001.dat\n";

class PackTest : public RunFixture {
 public:
  std::filesystem::path start_;
  std::filesystem::path work_;

 protected:
  void SetUp() override {
    RunFixture::SetUp();
    start_ = MakeFolder("start");
    work_ = MakeFolder("work");
    MakeFolder("start/pack");
    std::string interpreter = kInterpreter;
    for (size_t at; (at = interpreter.find("@FOLDER@")) != std::string::npos;) {
      interpreter.replace(at, 8, folder().string());
    }
    WriteBytes(folder() / "cmd.sh", interpreter);
    std::filesystem::permissions(folder() / "cmd.sh", std::filesystem::perms::owner_all);
    std::filesystem::current_path(start_);
    runState.startDir = ProgramPathOf(start_);
    runState.tempDir = ProgramPathOf(work_);
    runState.comSpec = ProgramPathOf(folder()) + "\\cmd.sh";
  }

  std::string Commands() const { return ReadBytes(folder() / "commands.txt"); }

  void WritePack(const std::string& script) const { WriteBytes(start_ / "pack/pack.001", script); }

  /// A pack script line that keeps `name` in the work directory open from another
  /// process until the test ends, and waits until it is open.
  static std::string HoldFromAnotherProcess(const std::string& name) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    return "'" + self + "' --child hold \"$PWD/" + name + "\" 20 >/dev/null 2>&1 &\n" +
           "while [ ! -e " + name + ".ready ]; do sleep 0.01; done\n";
  }

  void ReleaseHeld(const std::string& name) const { WriteBytes(work_ / (name + ".release"), ""); }
};

TEST_F(PackTest, GoodPackIsUnpackedAndChecked) {
  WritePack(kGoodPack);
  const UnpackOutcome outcome = UnpackAndCheckPack("pack.001");
  EXPECT_EQ(outcome, UnpackOutcome::Unpacked);
  EXPECT_EQ(UnpackFatalMessage(outcome), nullptr);
  EXPECT_EQ(Commands(), "/c copy /y pack.001 " + std::string(runState.tempDir.view()) +
                            "\\zentravotemppack.exe > nul\n"
                            "/c zentravotemppack.exe -y -pvbkwhtdnpo > nul\n");
  EXPECT_EQ(GetCurrentDirectoryPath(), runState.startDir);
  EXPECT_TRUE(Exists(work_ / "timer.exe"));
  EXPECT_TRUE(Exists(work_ / "001.dat"));
  EXPECT_FALSE(Exists(work_ / "files.dat"));
  EXPECT_FALSE(Exists(work_ / "zentravotemppack.exe"));
  EXPECT_TRUE(Exists(start_ / "pack/pack.001"));
  EXPECT_EQ(TakeIoResult(), 0);
}

TEST_F(PackTest, EachFailureStopsAtItsStep) {
  struct Case {
    const char* name;
    UnpackOutcome outcome;
    const char* code;  ///< of the fatal message the run ends with
    int commands;      ///< how many of the two commands ran
    std::string pack;
    void (*arrange)(PackTest&);
  };
  const auto nothing = [](PackTest&) {};
  const Case cases[] = {
      {"empty TEMP", UnpackOutcome::WorkDirNotFound, "#001", 0, kGoodPack,
       [](PackTest&) { runState.tempDir = ""; }},
      {"missing work directory", UnpackOutcome::WorkDirNotFound, "#001", 0, kGoodPack,
       [](PackTest&) { runState.tempDir = runState.tempDir + "-gone"; }},
      {"missing pack directory", UnpackOutcome::PackDirNotFound, "#002", 0, kGoodPack,
       [](PackTest& t) { std::filesystem::remove_all(t.start_ / "pack"); }},
      {"missing pack", UnpackOutcome::PackNotFound, "#003", 0, kGoodPack,
       [](PackTest& t) { std::filesystem::remove(t.start_ / "pack/pack.001"); }},
      {"a directory of the pack's name", UnpackOutcome::PackNotFound, "#003", 0, kGoodPack,
       [](PackTest& t) {
         std::filesystem::remove(t.start_ / "pack/pack.001");
         std::filesystem::create_directory(t.start_ / "pack/pack.001");
       }},
      {"no command interpreter", UnpackOutcome::PackNotCopied, "#004", 0, kGoodPack,
       [](PackTest&) { runState.comSpec = ""; }},
      {"a pack that does not unpack", UnpackOutcome::FileListNotOpened, "#005", 2, "exit 0\n",
       nothing},
      {"a malformed list", UnpackOutcome::FileListMalformed, "#006", 2,
       "printf '512KB\\r\\ntimer.exe\\r\\n' > files.dat\n", nothing},
      {"a listed file missing", UnpackOutcome::PackFileMismatch, "#007", 2,
       "printf '0\\r\\nmissing.dat\\r\\n' > files.dat\n", nothing},
      {"the list held by another process", UnpackOutcome::FileListNotDeleted, "#008", 2,
       std::string(kGoodPack) + HoldFromAnotherProcess("files.dat"), nothing},
      {"the copy held by another process", UnpackOutcome::PackCopyNotDeleted, "#009", 2,
       std::string(kGoodPack) + HoldFromAnotherProcess("zentravotemppack.exe"), nothing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ShortText tempDir = runState.tempDir;
    const ShortText comSpec = runState.comSpec;
    std::filesystem::remove_all(work_);
    std::filesystem::create_directory(work_);
    std::filesystem::remove(folder() / "commands.txt");
    std::filesystem::remove_all(start_ / "pack");
    std::filesystem::create_directory(start_ / "pack");
    WritePack(c.pack);
    c.arrange(*this);

    const UnpackOutcome outcome = UnpackAndCheckPack("pack.001");
    EXPECT_EQ(outcome, c.outcome);
    const char* message = UnpackFatalMessage(outcome);
    EXPECT_EQ(std::string(message != nullptr ? message : "").substr(0, 5),
              std::string(c.code) + " ");
    const std::string commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.end(), '\n'), c.commands) << commands;
    EXPECT_EQ(GetCurrentDirectoryPath(), runState.startDir);
    EXPECT_EQ(TakeIoResult(), 0);
    // The list was closed, so the clean-up of a fatal error can delete it.
    if (c.outcome == UnpackOutcome::FileListMalformed) {
      EXPECT_TRUE(RemoveFile(tempDir + "\\files.dat"));
    }
    ReleaseHeld("files.dat");
    ReleaseHeld("zentravotemppack.exe");
    runState.tempDir = tempDir;
    runState.comSpec = comSpec;
  }
}

using FileListPosixTest = RunFixture;

// The list's names are used as they are: a blank ending one names another file here
// (Windows drops it; see test_pack_win32_test.cpp).
TEST_F(FileListPosixTest, BlanksEndingANameArePartOfIt) {
  std::ofstream("timer.exe", std::ios::binary) << std::string(512, 't');
  EXPECT_EQ(CheckListOf("512\r\ntimer.exe \r\n"), FileListCheck::Mismatch);
  std::ofstream("timer.exe ", std::ios::binary) << std::string(3, 't');
  EXPECT_EQ(CheckListOf("3\r\ntimer.exe \r\n"), FileListCheck::AllMatch);
}

// The child's part: the settings come from "settings.txt" in the start directory.
TEST(PackChild, DISABLED_UnpackTestPack) {
  std::ifstream settings("settings.txt");
  std::string tempDir, comSpec;
  std::getline(settings, tempDir);
  std::getline(settings, comSpec);
  runState.startDir = GetCurrentDirectoryPath();
  runState.tempDir = ShortText(tempDir);
  runState.comSpec = ShortText(comSpec);
  UnpackTestPack("pack.001");
}

TEST_F(PackTest, MismatchEndsTheRunWith007AndTheCleanUpRemovesTheUnpackedFiles) {
  WritePack(std::string(kGoodPack) + "printf '0\\r\\nmissing.dat\\r\\n' >> files.dat\n");
  WriteBytes(start_ / "settings.txt", std::string(runState.tempDir.view()) + "\n" +
                                          std::string(runState.comSpec.view()) + "\n");
  const ChildRun run = RunTestInChild(start_, "PackChild.DISABLED_UnpackTestPack");
  EXPECT_EQ(run.exitCode, 5) << run.output;
  EXPECT_NE(run.output.find("CRITICAL ERROR: #007 pack is corrupted\n"), std::string::npos)
      << run.output;
  EXPECT_FALSE(Exists(work_ / "files.dat"));
  EXPECT_FALSE(Exists(work_ / "timer.exe"));
  EXPECT_FALSE(Exists(work_ / "zentravotemppack.exe"));
  EXPECT_TRUE(Exists(start_ / "pack/pack.001"));
}

}  // namespace
