// The activity ledger's refusal on Windows: a name that the system reads as the main log
// (a hard link, a short name, a trailing dot, a stream, a junction to the run's folder)
// is refused by the file's identity, and the main log stays as it was.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "logs/activity_ledger.h"
#include "platform/io_result.h"
#include "platform/win32/test_support_win32.h"
#include "run/analysis.h"
#include "run/run_fixture.h"

namespace {

const std::string kMainLog = "zentravo-kelv-tarsel.log";

/// Makes `junction` (a new folder) a junction to the folder `target`, a full path; empty,
/// or why the system would not.
std::string MakeJunction(const std::string& junction, const std::string& target) {
  if (!CreateDirectoryA(junction.c_str(), nullptr)) return "CreateDirectoryA failed";
  const HANDLE folder =
      CreateFileA(junction.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return "the folder does not open for its reparse point";
  // A mount point's reparse data: the NT path of the target, then an empty print name.
  const std::wstring path = L"\\??\\" + std::filesystem::path(target).wstring() + L"\\";
  struct {
    DWORD tag;
    WORD dataLength, reserved;
    WORD substituteOffset, substituteLength, printOffset, printLength;
    WCHAR names[MAX_PATH * 2];
  } data = {};
  const WORD bytes = static_cast<WORD>(path.size() * sizeof(WCHAR));
  data.tag = IO_REPARSE_TAG_MOUNT_POINT;
  data.substituteLength = bytes;
  data.printOffset = static_cast<WORD>(bytes + sizeof(WCHAR));
  path.copy(data.names, path.size());
  data.dataLength = static_cast<WORD>(4 * sizeof(WORD) + bytes + 2 * sizeof(WCHAR));
  DWORD returned = 0;
  const BOOL set = DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, &data, data.dataLength + 8u,
                                   nullptr, 0, &returned, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(folder);
  return set ? "" : "FSCTL_SET_REPARSE_POINT failed, error " + std::to_string(error);
}

/// One way to name the main log: makes what the name needs in the run's folder `start`
/// and returns the name, or "" with the reason in `why` when the system cannot.
using Plant = std::string (*)(const std::string& start, std::string& why);

struct Way {
  const char* label;
  Plant plant;
};

const Way kWays[] = {
    {"HardLink",
     [](const std::string& start, std::string& why) -> std::string {
       std::error_code error;
       std::filesystem::create_hard_link(start + "\\" + kMainLog, start + "\\a.txt", error);
       why = error.message();
       return error ? "" : "a.txt";
     }},
    {"ShortName",
     [](const std::string& start, std::string& why) -> std::string {
       char name[MAX_PATH + 1];
       const DWORD got = GetShortPathNameA((start + "\\" + kMainLog).c_str(), name, sizeof name);
       const std::string shortName(name, got > 0 && got < sizeof name ? got : 0);
       const std::string part = shortName.substr(shortName.rfind('\\') + 1);
       why = "the system gives no short name: \"" + shortName + "\"";
       return part.empty() || part == kMainLog ? "" : part;
     }},
    {"TrailingDot", [](const std::string&, std::string&) { return kMainLog + "."; }},
    {"Stream", [](const std::string&, std::string&) { return kMainLog + "::$DATA"; }},
    {"Junction",
     [](const std::string& start, std::string& why) -> std::string {
       why = MakeJunction(start + "\\j", start);
       return why.empty() ? "j\\" + kMainLog : "";
     }},
};

class LedgerRefusalWin32 : public RunInFolderFixture, public ::testing::WithParamInterface<Way> {
 protected:
  void TearDown() override {
    // Off again, so that no later test meets this one's ledger.
    SetEnvironmentVariableA(kActivityLedgerVariable, nullptr);
    StartActivityLedger();
    RemoveDirectoryA((folder() / "j").string().c_str());  // a junction, not its target
    RunInFolderFixture::TearDown();
  }
};

TEST_P(LedgerRefusalWin32, ANameThatLeadsToTheMainLog) {
  if (UnderI386Emulation()) {
    GTEST_SKIP() << "the refusal reads files' identity, which asks Wine's mount manager "
                    "(docs/windows.md)";
  }
  const std::string start = runState.startDir.c_str();
  const std::string before = "the main log as it was\r\n";
  WriteBytes(folder() / kMainLog, before);
  std::string why;
  const std::string name = GetParam().plant(start, why);
  if (name.empty()) GTEST_SKIP() << why;
  // Only a name that the system opens at all can lead to the main log.
  const HANDLE probe =
      CreateFileA((start + "\\" + name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    GTEST_SKIP() << "the system does not open " << name << ", error " << GetLastError();
  }
  CloseHandle(probe);

  ScopedVariableWin32 variable(kActivityLedgerVariable, name);
  testing::internal::CaptureStdout();
  StartActivityLedger(ListFilesOfTheRun);
  LedgerTestStarts(TestId::DivX, "001.log");
  LedgerTestEnds(LedgerOutcome::Skipped);
  WriteLedgerNotice();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            std::string("Activity ledger refused, a file of the run itself: ") +
                FullWindowsPath(name.c_str(), runState.startDir).c_str() + "\n");
  EXPECT_EQ(ReadBytes(folder() / kMainLog), before);
  EXPECT_EQ(TakeIoResult(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, LedgerRefusalWin32, ::testing::ValuesIn(kWays),
                         [](const ::testing::TestParamInfo<Way>& way) {
                           return std::string(way.param.label);
                         });

}  // namespace
