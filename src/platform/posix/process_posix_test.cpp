#include "platform/process.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/console.h"
#include "platform/directories.h"
#include "platform/posix/backend_posix.h"
#include "platform/posix/test_support_posix.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// True when this process has no child at all, ended or not: nothing was left to reap
// and nothing would make a later wait wait.
bool HasNoChildren() {
  int status;
  return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// Counts children of this process that have ended but were never reaped.
int ZombieChildren() {
  int zombies = 0;
  const std::string ownPid = std::to_string(getpid());
  for (const fs::directory_entry& process : fs::directory_iterator("/proc")) {
    std::ifstream stat(process.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid ...": the name may hold blanks, so read after its ")".
    const size_t close = line.rfind(')');
    if (close == std::string::npos || close + 4 > line.size()) continue;
    const char state = line[close + 2];
    const std::string rest = line.substr(close + 4);
    const std::string parent = rest.substr(0, rest.find(' '));
    if (parent == ownPid && state == 'Z') ++zombies;
  }
  return zombies;
}

// A temporary folder on drive C: (the host root) holding "child", a link to this test
// binary, so that RunProgram can start it by a Windows path.
class RunProgramTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    fs::create_symlink(TestBinaryPath(), "child");
    SetRunMode(RunMode::WaitForExit);
  }
  void TearDown() override {
    SetRunMode(RunMode::WaitForExit);
    TempFolderTest::TearDown();
  }

  // What the echoing child saw: its argument count, then each argument on a line.
  std::string EchoedArguments(const ShortText& program, const ShortText& arguments) {
    ScopedEnvironment echo("TARSEL_TEST_ECHO_ARGS", "echo.txt");
    EXPECT_EQ(RunProgram(program, arguments), 0);
    return ReadBytes("echo.txt");
  }

  ScopedEnvironment noDrives_{"TARSEL_DRIVES", nullptr};
};

TEST_F(RunProgramTest, WaitForExitWaitsForTheChild) {
  const auto start = Clock::now();
  EXPECT_EQ(RunProgram("child", "--child sleep 1000"), 0);
  EXPECT_GE(MillisecondsSince(start), 1000);
  EXPECT_TRUE(HasNoChildren());
}

TEST_F(RunProgramTest, NoWaitReturnsAtOnceAndIsNeverWaitedFor) {
  SetRunMode(RunMode::NoWait);
  auto start = Clock::now();
  EXPECT_EQ(RunProgram("child", "--child sleep 3000"), 0);
  EXPECT_LT(MillisecondsSince(start), 2000);
  EXPECT_TRUE(HasNoChildren());
  // A later waited-for program is not held up by the one still running.
  SetRunMode(RunMode::WaitForExit);
  start = Clock::now();
  EXPECT_EQ(RunProgram("child", "--child sleep 10"), 0);
  EXPECT_LT(MillisecondsSince(start), 2000);
}

TEST_F(RunProgramTest, NoWaitLeavesNoZombie) {
  SetRunMode(RunMode::NoWait);
  ScopedEnvironment echo("TARSEL_TEST_ECHO_ARGS", "done.txt");
  EXPECT_EQ(RunProgram("child", ""), 0);
  ASSERT_TRUE(AwaitFile("done.txt"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(ZombieChildren(), 0);
  EXPECT_TRUE(HasNoChildren());
}

TEST_F(RunProgramTest, ArgumentsArriveExactlyAsGiven) {
  EXPECT_EQ(EchoedArguments("child", "a  \"b c\" "), "2\nchild\na  \"b c\" \n");
  EXPECT_EQ(EchoedArguments("child", ""), "2\nchild\n\n");
  const ShortText full = GetCurrentDirectoryPath() + "\\CHILD";
  EXPECT_EQ(EchoedArguments(full, "/c x"), "2\n" + std::string(full.view()) + "\n/c x\n");
  SetRunMode(RunMode::NoWait);
  ScopedEnvironment echo("TARSEL_TEST_ECHO_ARGS", "late.txt");
  EXPECT_EQ(RunProgram(".\\child", "later"), 0);
  ASSERT_TRUE(AwaitFile("late.txt"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(ReadBytes("late.txt"), "2\n.\\child\nlater\n");
}

TEST_F(RunProgramTest, ScriptsRunWithTheirInterpreter) {
  WriteBytes("tool.exe", "#!/bin/sh\nprintf '%s|' \"$1\" \"$#\" > out.txt\n");
  fs::permissions("tool.exe", fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_EQ(RunProgram("tool.exe", "/c copy a b"), 0);
  EXPECT_EQ(ReadBytes("out.txt"), "/c copy a b|1|");
}

TEST_F(RunProgramTest, WhatCannotStartReturnsNonZeroAndStartsNothing) {
  WriteBytes("plain.txt", "not a program");
  fs::create_directory("folder");
  const char* kPrograms[] = {"",          "missing.exe", "nowhere\\missing.exe",
                             "Q:\\x.exe", "plain.txt",   "folder"};
  for (const RunMode mode : {RunMode::WaitForExit, RunMode::NoWait}) {
    SetRunMode(mode);
    for (const char* program : kPrograms) {
      EXPECT_NE(RunProgram(program, "x"), 0) << program;
      EXPECT_TRUE(HasNoChildren()) << program;
    }
  }
}

TEST(Environment, NamesMatchRegardlessOfCase) {
  ScopedEnvironment temp("TEMP", "C:\\temp");
  ScopedEnvironment longer("TARSEL_TEMPX", "wrong");
  ScopedEnvironment equals("TARSEL_EQ", "a=b");
  ScopedEnvironment absent("TARSEL_TEMP", nullptr);
  ScopedEnvironment longValue("TARSEL_LONG", std::string(300, 'v').c_str());
  EXPECT_EQ(GetEnvironmentValue("temp").view(), "C:\\temp");
  EXPECT_EQ(GetEnvironmentValue("TeMp").view(), "C:\\temp");
  EXPECT_EQ(GetEnvironmentValue("TARSEL_TEMP").view(), "");  // TARSEL_TEMPX is no match
  EXPECT_EQ(GetEnvironmentValue("TARSEL_TEMPXY").view(), "");
  EXPECT_EQ(GetEnvironmentValue("tarsel_eq").view(), "a=b");
  EXPECT_EQ(GetEnvironmentValue("TARSEL_LONG").view(), std::string(255, 'v'));
  // The value at the moment of the call.
  setenv("TEMP", "D:\\other", 1);
  EXPECT_EQ(GetEnvironmentValue("TEMP").view(), "D:\\other");
}

TEST(CommandArgument, NonEmptyArgumentsAfterTheProgramName) {
  const std::string longArgument(300, 'L');
  const char* argv[] = {"prog", "-divx", "", "a b", longArgument.c_str(), "-XVID"};
  SetCommandArguments(6, argv);
  struct Case {
    int n;
    std::string argument;
  } const kCases[] = {
      {0, ""},      {1, "-divx"}, {2, "a b"}, {3, std::string(255, 'L')},
      {4, "-XVID"}, {5, ""},      {-1, ""},
  };
  for (const Case& test : kCases)
    EXPECT_EQ(CommandArgument(test.n).view(), test.argument) << test.n;
  const char* none[] = {"prog"};
  SetCommandArguments(1, none);
  EXPECT_EQ(CommandArgument(1).view(), "");
}

TEST(Pause, SignalsDoNotCutItShort) {
  const pthread_t pausing = pthread_self();
  std::thread interrupter([pausing] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // SIGIO has a do-nothing handler; it still interrupts a sleeping system call.
    pthread_kill(pausing, SIGIO);
  });
  const auto start = Clock::now();
  Pause(400);
  const int64_t slept = MillisecondsSince(start);
  interrupter.join();
  EXPECT_GE(slept, 400);
}

TEST(ExitProgram, EndsWithTheCodeAfterTheConsoleTextIsOut) {
  int output[2];
  ASSERT_EQ(pipe(output), 0);
  std::fflush(stdout);  // the child must not inherit GoogleTest's unwritten output
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(output[1], STDOUT_FILENO);
    ConsoleWrite("last words");
    ExitProgram(5);
  }
  close(output[1]);
  std::string shown;
  char chunk[64];
  for (ssize_t got; (got = read(output[0], chunk, sizeof chunk)) > 0;) shown.append(chunk, got);
  close(output[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 5);
  EXPECT_EQ(shown, "last words");
}

}  // namespace
