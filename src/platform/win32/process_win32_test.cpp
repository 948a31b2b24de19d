// Windows process tests: the command line a started program sees, waiting, handles
// that must not leak into or out of started programs, the environment and Ctrl-C.
// Each process test starts this test binary again as the child.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <set>
#include <string>
#include <vector>

#include "platform/directories.h"
#include "platform/io_result.h"
#include "platform/process.h"
#include "platform/raw_file.h"
#include "platform/test_support.h"
#include "platform/text_file.h"
#include "platform/win32/backend_win32.h"
#include "platform/win32/test_support_win32.h"

namespace {

// Every handle value of this process that names an open handle.
std::set<uintptr_t> OpenHandleValues() {
  std::set<uintptr_t> open;
  for (uintptr_t value = 4; value < 16384; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) open.insert(value);
  }
  return open;
}

// Starts this binary again, from a copy whose path has blanks in it, so that a path
// quoted wrongly changes what the child sees.
class ChildProcessWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (UnderI386Emulation()) GTEST_SKIP() << "each child costs most of a minute under qemu-user";
    folder_ = folderOwner_.path() + "\\with blanks";
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    child_ = folder_ + "\\child copy.exe";
    ASSERT_TRUE(CopyFileA(self_.c_str(), child_.c_str(), FALSE));
    TakeIoResult();
  }
  void TearDown() override { SetRunMode(RunMode::WaitForExit); }

  // A child that misreads its command line falls through to running the tests; it
  // must then run none, or each broken child would start more children.
  ScopedVariableWin32 noTestsInChildren_{"GTEST_FILTER", "NoTestRunsInAChild"};
  TestFolderWin32 folderOwner_;
  std::string folder_;
  // The copy with blanks in its path, for children that are waited for; children that
  // may outlive the test run this binary itself, so the folder can always go.
  std::string child_;
  const std::string self_ = TestBinaryPath();
};

TEST_F(ChildProcessWin32, ChildSeesQuotedPathBlankAndArgumentTextUnchanged) {
  const std::string echo = folderOwner_ / "argv.txt";
  ScopedVariableWin32 variable("TARSEL_TEST_ECHO_ARGS", echo);
  ASSERT_EQ(RunProgram(child_.c_str(), "one \"two three\"  four"), 0);
  // The C runtime's split of "<path>" one "two three"  four.
  EXPECT_EQ(ReadWholeFile(echo), "4\n" + child_ + "\none\ntwo three\nfour\n");
}

TEST_F(ChildProcessWin32, ChildCommandArgumentsFollowTheWindowsRules) {
  const std::string echo = folderOwner_ / "arguments.txt";
  ScopedVariableWin32 variable("TARSEL_TEST_ECHO_COMMAND_ARGUMENTS", echo);
  ASSERT_EQ(RunProgram(child_.c_str(), "-divx \"\" \"a b\" x\"y z\"w"), 0);
  EXPECT_EQ(ReadWholeFile(echo), "-divx\na b\nxy zw\n");
}

TEST_F(ChildProcessWin32, EmptyArgumentTextGivesNoArgument) {
  const std::string echo = folderOwner_ / "arguments.txt";
  ScopedVariableWin32 variable("TARSEL_TEST_ECHO_COMMAND_ARGUMENTS", echo);
  ASSERT_EQ(RunProgram(child_.c_str(), ""), 0);
  EXPECT_TRUE(PathExists(echo));
  EXPECT_EQ(ReadWholeFile(echo), "");
}

TEST_F(ChildProcessWin32, PathAndArgumentsReachTheChildAsTheConsolesCharacters) {
  if (!PagesAlike().empty()) GTEST_SKIP() << PagesAlike();
  // Both the program's path and the file name it is given hold the letter; the child
  // makes the file from its own CommandArgument(1), so the wide name it ends up with
  // shows what the child received and how it handed it on.
  const std::wstring wideFolder = FromCodePage(CP_OEMCP, folder_) + L"\\";
  ASSERT_TRUE(CopyFileW(FromCodePage(CP_OEMCP, self_).c_str(),
                        (wideFolder + kUmlautName + L".exe").c_str(), FALSE));
  const std::string oem = InCodePage(CP_OEMCP, kUmlautName);
  ScopedVariableWin32 variable("TARSEL_TEST_MAKE_ARGUMENT_FILE", "1");
  ASSERT_EQ(RunProgram((folder_ + "\\" + oem + ".exe").c_str(),
                       ("\"" + folder_ + "\\" + oem + ".txt\"").c_str()),
            0);
  EXPECT_NE(GetFileAttributesW((wideFolder + kUmlautName + L".txt").c_str()),
            INVALID_FILE_ATTRIBUTES);
}

// The processes this process has started that are still running.
std::set<DWORD> RunningChildren() {
  std::set<DWORD> children;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return children;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ParentProcessID == GetCurrentProcessId()) children.insert(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return children;
}

TEST_F(ChildProcessWin32, ProgramsRunAtNormalPriorityWhenThisOneRunsIdle) {
  // "start /low" runs the whole benchmark at idle priority; the encoder must not be
  // timed at it.
  struct IdleForTheTest {
    const DWORD saved = GetPriorityClass(GetCurrentProcess());
    IdleForTheTest() { SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS); }
    ~IdleForTheTest() { SetPriorityClass(GetCurrentProcess(), saved); }
  } idle;
  ASSERT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
  const std::set<DWORD> earlier = RunningChildren();
  SetRunMode(RunMode::NoWait);
  ASSERT_EQ(RunProgram(self_.c_str(), "--child sleep 3000"), 0);
  std::vector<DWORD> started;
  for (const DWORD id : RunningChildren()) {
    if (earlier.count(id) == 0) started.push_back(id);
  }
  ASSERT_EQ(started.size(), 1u);
  const HANDLE child = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, started[0]);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(GetPriorityClass(child), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
  CloseHandle(child);
}

TEST_F(ChildProcessWin32, ProgramsThatCannotStartReturnNonZero) {
  EXPECT_NE(RunProgram("", "/c exit"), 0);
  EXPECT_NE(RunProgram((folderOwner_ / "missing.exe").c_str(), ""), 0);
  // No search along the program path and no ".exe" added.
  EXPECT_NE(RunProgram("cmd", "/c exit"), 0);
  EXPECT_NE(RunProgram(folder_.c_str(), ""), 0);
}

TEST_F(ChildProcessWin32, RelativePathIsTakenFromTheCurrentDirectory) {
  const ShortText before = GetCurrentDirectoryPath();
  ASSERT_TRUE(ChangeDirectory(folder_.c_str()));
  const std::string echo = folderOwner_ / "argv.txt";
  ScopedVariableWin32 variable("TARSEL_TEST_ECHO_ARGS", echo);
  const int32_t code = RunProgram("child copy.exe", "x");
  ASSERT_TRUE(ChangeDirectory(before));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadWholeFile(echo), "2\nchild copy.exe\nx\n");
}

TEST_F(ChildProcessWin32, WaitForExitWaitsAndNoWaitReturnsAtOnce) {
  DWORD start = GetTickCount();
  ASSERT_EQ(RunProgram(self_.c_str(), "--child sleep 1500"), 0);
  EXPECT_GE(GetTickCount() - start, 1500u);

  SetRunMode(RunMode::NoWait);
  start = GetTickCount();
  ASSERT_EQ(RunProgram(self_.c_str(), "--child sleep 4000"), 0);
  EXPECT_LT(GetTickCount() - start, 3000u);
}

TEST_F(ChildProcessWin32, FileHeldByAFinishedChildIsFree) {
  const std::string held = folderOwner_ / "held.txt";
  WriteWholeFile(held, "x");
  // The child holds the file for a second; once RunProgram returns, its process and
  // every handle it had are gone.
  ASSERT_EQ(RunProgram(self_.c_str(), ("--child hold " + held + " 1").c_str()), 0);
  EXPECT_TRUE(PathExists(held + ".ready"));
  RawFile file;
  OpenForReading(file, held.c_str());
  EXPECT_EQ(TakeIoResult(), 0);
  CloseFile(file);
  EXPECT_TRUE(RemoveFile(held.c_str()));
}

TEST_F(ChildProcessWin32, FileHeldByARunningChildIsNeitherOpenedNorDeleted) {
  const std::string held = folderOwner_ / "held.txt";
  WriteWholeFile(held, "0123456789");
  SetRunMode(RunMode::NoWait);
  ASSERT_EQ(RunProgram(self_.c_str(), ("--child hold " + held + " 20").c_str()), 0);
  ASSERT_TRUE(WaitForPath(held + ".ready", 10000));

  RawFile file;
  OpenForReading(file, held.c_str());
  EXPECT_EQ(TakeIoResult(), kIoSharingViolation);
  EXPECT_FALSE(file.isOpen);
  EXPECT_FALSE(RemoveFile(held.c_str()));
  EXPECT_TRUE(PathExists(held));
  // Text files share reading and writing, so they still open.
  TextFile text;
  OpenTextForReading(text, held.c_str());
  EXPECT_EQ(ReadLine(text), ShortText("0123456789"));
  CloseText(text);
  EXPECT_EQ(TakeIoResult(), 0);

  WriteWholeFile(held + ".release", "");
  bool opened = false;
  for (int tries = 0; tries < 500 && !opened; ++tries) {
    OpenForReading(file, held.c_str());
    opened = TakeIoResult() == 0;
    if (!opened) Sleep(20);
  }
  ASSERT_TRUE(opened);
  EXPECT_EQ(FileLength(file), 10);
  CloseFile(file);
  EXPECT_TRUE(RemoveFile(held.c_str()));
}

TEST_F(ChildProcessWin32, ProgramFilesAreNotInheritedByStartedPrograms) {
  const std::string log = folderOwner_ / "log.txt";
  TextFile text;
  CreateText(text, log.c_str());
  WriteLine(text, "open while the child starts");
  RawFile raw;
  const std::string sized = folderOwner_ / "sized.bin";
  WriteWholeFile(sized, "abc");
  OpenForReading(raw, sized.c_str());
  ASSERT_EQ(TakeIoResult(), 0);

  SetRunMode(RunMode::NoWait);
  ASSERT_EQ(RunProgram(self_.c_str(), "--child sleep 4000"), 0);
  Sleep(500);
  CloseText(text);
  CloseFile(raw);
  ASSERT_EQ(TakeIoResult(), 0);
  // Were either handle inherited, the sleeping child would still hold its file.
  EXPECT_TRUE(RemoveFile(log.c_str()));
  EXPECT_TRUE(RemoveFile(sized.c_str()));
}

TEST_F(ChildProcessWin32, RunProgramLeavesNoHandleOpen) {
  ASSERT_FALSE(OpenHandleValues().empty());
  const std::set<uintptr_t> before = OpenHandleValues();
  ASSERT_EQ(RunProgram(self_.c_str(), "--child sleep 10"), 0);
  EXPECT_EQ(OpenHandleValues(), before);
  SetRunMode(RunMode::NoWait);
  ASSERT_EQ(RunProgram(self_.c_str(), "--child sleep 10"), 0);
  EXPECT_EQ(OpenHandleValues(), before);
  EXPECT_NE(RunProgram((folderOwner_ / "missing.exe").c_str(), ""), 0);
  EXPECT_EQ(OpenHandleValues(), before);
}

TEST(EnvironmentWin32, NamesMatchWithoutCaseOfLettersAndWholeNameOnly) {
  ScopedVariableWin32 exact("TARSEL_WIN32_PROBE", "value one");
  ScopedVariableWin32 longer("TARSEL_WIN32_PROBEX", "longer name");
  EXPECT_EQ(GetEnvironmentValue("tarsel_win32_probe"), ShortText("value one"));
  EXPECT_EQ(GetEnvironmentValue("TARSEL_Win32_Probe"), ShortText("value one"));
  EXPECT_EQ(GetEnvironmentValue("TARSEL_WIN32_PROB"), ShortText(""));
  EXPECT_EQ(GetEnvironmentValue("TARSEL_WIN32_PROBEX"), ShortText("longer name"));
  EXPECT_EQ(GetEnvironmentValue("TARSEL_WIN32_ABSENT"), ShortText(""));
  EXPECT_EQ(GetEnvironmentValue(""), ShortText(""));
}

TEST(EnvironmentWin32, ValuesAreReadAtTheCallAndCutAt255) {
  {
    ScopedVariableWin32 changing("TARSEL_WIN32_CHANGING", std::string(300, 'v'));
    EXPECT_EQ(GetEnvironmentValue("TARSEL_WIN32_CHANGING"), ShortText(std::string(255, 'v')));
  }
  EXPECT_EQ(GetEnvironmentValue("TARSEL_WIN32_CHANGING"), ShortText(""));
}

TEST(InterruptWin32, OtherConsoleEventsAreLeftToTheSystem) {
  EXPECT_FALSE(InterruptHandler(CTRL_CLOSE_EVENT));
  EXPECT_FALSE(InterruptHandler(CTRL_LOGOFF_EVENT));
}

TEST(InterruptWin32, CtrlCAndCtrlBreakEndTheProcessWithTheInterruptStatus) {
  if (UnderI386Emulation())
    GTEST_SKIP() << "each death test's child costs most of a minute under qemu-user";
  const int interrupted = static_cast<int>(STATUS_CONTROL_C_EXIT);
  EXPECT_EXIT(InterruptHandler(CTRL_C_EVENT), ::testing::ExitedWithCode(interrupted), "");
  EXPECT_EXIT(InterruptHandler(CTRL_BREAK_EVENT), ::testing::ExitedWithCode(interrupted), "");
}

}  // namespace
