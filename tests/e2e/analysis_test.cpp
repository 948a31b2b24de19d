// The environment analysis on simulated machines: the two reports as the console
// shows them, and the fatal errors "#028" to "#031".

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "emulation.h"
#include "file_holder.h"
#include "simulated_machine.h"

namespace {

namespace fs = std::filesystem;

const std::string kBanner = "Zentravo Kelvaran Project\nTarsel v2.0 RC3\n\n";
const std::string kRule(37, '-');
const std::string kAnalysisHeading =
    kRule + "\nAnalyzing external software and files\n" + kRule + "\n\n";
const std::string kEligibilityHeading =
    kRule + "\nAnalyzing tests execution possibility\n" + kRule + "\n\n";

constexpr uintmax_t kMpgSize = 34822144;
constexpr uintmax_t kAviSize = 667794940;

std::string Padded(const std::string& label, size_t width) {
  return label + std::string(width - label.size(), ' ');
}

/// The result word of each probe line, in report order; an empty word leaves the line
/// out (the free-space lines of a missing clip).
struct Findings {
  std::string os = "Windows 2000 or later";
  std::string driveC = "found";
  std::string mpg = "original";
  std::string mpgSpace = "found";
  std::string avi = "original";
  std::string aviSpace = "found";
  std::string divx = "found";
  std::string xvid = "found";
  std::string wmv9 = "found";
  std::string quickTime = "found";
  std::string mainconcept = "found";
  std::string procoder = "found";
  std::string cce = "found";
  std::string nncron = "found";
};

std::string AnalysisReport(const Findings& f) {
  const std::pair<const char*, const std::string*> lines[] = {
      {"Operation System", &f.os},
      {"Logical drive C:", &f.driveC},
      {"Source file for DVD rip tests", &f.mpg},
      {"Free space for DVD rip tests", &f.mpgSpace},
      {"Source file for MPEG2 tests", &f.avi},
      {"Free space for MPEG2 tests", &f.aviSpace},
      {"DivX 5.1.1 AdWare", &f.divx},
      {"XviD 1.0 beta 2 (Trennel build)", &f.xvid},
      {"Windows Media 9 VCM", &f.wmv9},
      {"Apple QuickTime", &f.quickTime},
      {"Mainconcept MPEG Encoder 1.4.0", &f.mainconcept},
      {"Canopus ProCoder Demo 1.25.15.0", &f.procoder},
      {"Cinema Craft Encoder SP 2.67 Trial", &f.cce},
      {"nnCron Automation Manager", &f.nncron},
  };
  std::string text = kAnalysisHeading;
  for (const auto& [label, word] : lines) {
    if (!word->empty()) text += Padded(label, 36) + *word + "\n";
  }
  return text + "\n";
}

/// Enabled flags in test order: DivX, XviD, WMV9, MPEG1, MPEG2/Mainconcept,
/// MPEG2/Canopus, MPEG2/CCE SP.
std::string EligibilityReport(const std::array<bool, 7>& enabled) {
  const char* const labels[] = {"DivX  encoding", "XviD  encoding",    "WMV9  encoding",
                                "MPEG1 encoding", "MPEG2/Mainconcept", "MPEG2/Canopus",
                                "MPEG2/CCE SP"};
  std::string text = kEligibilityHeading;
  for (size_t i = 0; i < enabled.size(); ++i) {
    text += Padded(labels[i], 19) + (enabled[i] ? "enabled" : "DISABLED") + "\n";
  }
  return text + "\n";
}

std::string FatalReport(const std::string& message) {
  return "\nCRITICAL ERROR: " + message +
         "\nCannot continue, test aborted\n\nPress any key to close this window\n";
}

/// A file of exactly `size` bytes that takes no room on the disk.
void MakeSparseFile(const SimulatedMachine& machine, const std::string& windowsPath,
                    uintmax_t size) {
  machine.MakeFile(windowsPath, "");
  fs::resize_file(machine.HostPath(windowsPath), size);
}

/// Everything the analysis looks for, of the reference sizes, below `drive`.
void InstallEverything(const SimulatedMachine& machine, const std::string& drive = "C:") {
  MakeSparseFile(machine, drive + "\\Tarsel\\test.mpg", kMpgSize);
  MakeSparseFile(machine, drive + "\\Tarsel\\test.avi", kAviSize);
  const std::string system = drive + "\\WINDOWS\\system32\\";
  MakeSparseFile(machine, system + "divx.dll", 681984);
  MakeSparseFile(machine, system + "xvid.dll", 216064);
  MakeSparseFile(machine, system + "wmv9vcm.dll", 1415680);
  MakeSparseFile(machine, system + "quicktime.cpl", 12345);
  MakeSparseFile(machine, drive + "\\Program Files\\Mainconcept\\mcmpgenc.exe", 475136);
  MakeSparseFile(machine, drive + "\\Program Files\\Canopus\\ProCoder\\procoder.exe", 1916928);
  MakeSparseFile(machine, drive + "\\CCE\\cctspt.exe", 1884160);
  MakeSparseFile(machine, drive + "\\nnCron\\nncron.exe", 100);
}

/// The console up to the end of the eligibility report: what the analysis wrote.
std::string UpToEligibility(const std::string& console) {
  const size_t heading = console.find(kEligibilityHeading);
  if (heading == std::string::npos) return console;
  const size_t end = console.find("\n\n", heading + kEligibilityHeading.size());
  return end == std::string::npos ? console : console.substr(0, end + 2);
}

constexpr std::array<bool, 7> kAllEnabled = {true, true, true, true, true, true, true};

class Analysis : public ProgramRunTest {};

TEST_F(Analysis, EverythingFoundWithExactSizes) {
  SimulatedMachine machine;
  InstallEverything(machine);
  const ProgramRun run = machine.Run({"-divx"});
  EXPECT_EQ(UpToEligibility(run.console),
            kBanner + AnalysisReport({}) + EligibilityReport(kAllEnabled));
}

TEST_F(Analysis, ClipsOfOtherSizesAreUnofficialButEnableTheirTests) {
  SimulatedMachine machine;
  InstallEverything(machine);
  MakeSparseFile(machine, "C:\\Tarsel\\test.mpg", kMpgSize + 1);
  MakeSparseFile(machine, "C:\\Tarsel\\TEST.AVI", 1000);
  fs::remove(machine.HostPath("C:\\Tarsel\\test.avi"));
  const ProgramRun run = machine.Run({"-divx"});
  Findings findings;
  findings.mpg = "unofficial";
  findings.avi = "unofficial";
  EXPECT_EQ(UpToEligibility(run.console),
            kBanner + AnalysisReport(findings) + EligibilityReport(kAllEnabled));
}

TEST_F(Analysis, MissingClipHasNoFreeSpaceLineAndDisablesItsTests) {
  SimulatedMachine machine;
  InstallEverything(machine);
  fs::remove(machine.HostPath("C:\\Tarsel\\test.avi"));
  const ProgramRun run = machine.Run({"-cpro"});
  Findings findings;
  findings.avi = "NOT FOUND";
  findings.aviSpace = "";
  EXPECT_EQ(UpToEligibility(run.console),
            kBanner + AnalysisReport(findings) +
                EligibilityReport({true, true, true, true, false, false, false}));

  fs::remove(machine.HostPath("C:\\Tarsel\\test.mpg"));
  MakeSparseFile(machine, "C:\\Tarsel\\test.avi", kAviSize);
  const ProgramRun second = machine.Run({"-divx"});
  findings = Findings();
  findings.mpg = "NOT FOUND";
  findings.mpgSpace = "";
  EXPECT_EQ(UpToEligibility(second.console),
            kBanner + AnalysisReport(findings) +
                EligibilityReport({false, false, false, false, true, true, true}));
}

TEST_F(Analysis, NeitherClipEndsTheRunAfterTheSecondHeading) {
  SimulatedMachine machine;
  const ProgramRun run = machine.Run({"-divx"});
  Findings findings;
  findings.mpg = findings.avi = "NOT FOUND";
  findings.mpgSpace = findings.aviSpace = "";
  findings.divx = findings.xvid = findings.wmv9 = findings.quickTime = "NOT FOUND";
  findings.mainconcept = findings.procoder = findings.cce = findings.nncron = "NOT FOUND";
  EXPECT_EQ(run.console, kBanner + AnalysisReport(findings) + kEligibilityHeading +
                             FatalReport("#031 cannot find any file for encoding"));
  EXPECT_EQ(run.exitCode, 5);
}

TEST_F(Analysis, OperatingSystemNotAccepted) {
  struct Case {
    const char* name;
    const char* os;       ///< nullptr: unset
    const char* appData;  ///< nullptr: unset
  };
  const Case cases[] = {
      {"OS in other letter case", "WINDOWS_NT", "C:\\Data"},
      {"OS lower case", "windows_nt", "C:\\Data"},
      {"OS with more after it", "Windows_NT4", "C:\\Data"},
      {"OS unset", nullptr, "C:\\Data"},
      {"APPDATA empty", "Windows_NT", ""},
      {"APPDATA unset", "Windows_NT", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimulatedMachine machine;
    InstallEverything(machine);
    if (c.os) {
      machine.SetVariable("OS", c.os);
    } else {
      machine.UnsetVariable("OS");
    }
    if (c.appData) {
      machine.SetVariable("APPDATA", c.appData);
    } else {
      machine.UnsetVariable("APPDATA");
    }
    const ProgramRun run = machine.Run({"-divx"});
    Findings findings;
    findings.os = "UNSUPPORTED";
    // The whole first report is written before the run ends.
    EXPECT_EQ(run.console, kBanner + AnalysisReport(findings) + kEligibilityHeading +
                               FatalReport("#030 OS is not Windows 2000 or later"));
    EXPECT_EQ(run.exitCode, 5);
  }
}

TEST_F(Analysis, CodecsOfOtherSizesAreMissingQuickTimeOfAnySizeIsFound) {
  SimulatedMachine machine;
  InstallEverything(machine);
  MakeSparseFile(machine, "C:\\WINDOWS\\system32\\divx.dll", 681984 + 1);
  MakeSparseFile(machine, "C:\\WINDOWS\\system32\\xvid.dll", 216064 - 1);
  MakeSparseFile(machine, "C:\\WINDOWS\\system32\\wmv9vcm.dll", 0);
  MakeSparseFile(machine, "C:\\WINDOWS\\system32\\quicktime.cpl", 0);
  const ProgramRun run = machine.Run({"-divx"});
  Findings findings;
  findings.divx = findings.xvid = findings.wmv9 = "NOT FOUND";
  EXPECT_EQ(UpToEligibility(run.console),
            kBanner + AnalysisReport(findings) +
                EligibilityReport({false, false, false, true, true, true, true}));
}

TEST_F(Analysis, SystemDirectoryFollowsWindir) {
  SimulatedMachine machine;
  InstallEverything(machine);
  machine.SetVariable("WINDIR", "C:\\Elsewhere");
  MakeSparseFile(machine, "C:\\Elsewhere\\system32\\divx.dll", 681984);
  const ProgramRun run = machine.Run({"-divx"});
  Findings findings;
  findings.xvid = findings.wmv9 = findings.quickTime = "NOT FOUND";
  EXPECT_EQ(UpToEligibility(run.console),
            kBanner + AnalysisReport(findings) +
                EligibilityReport({true, false, false, true, true, false, true}));
}

TEST_F(Analysis, EncodersFoundOnAnotherDriveInSubfolders) {
  SimulatedMachine machine;
  InstallEverything(machine);
  fs::remove_all(machine.HostPath("C:\\Program Files"));
  fs::remove_all(machine.HostPath("C:\\CCE"));
  fs::remove_all(machine.HostPath("C:\\nnCron"));
  machine.AddDrive('d');
  MakeSparseFile(machine, "D:\\Apps\\Video\\Mainconcept\\MCMPGENC.EXE", 475136);
  MakeSparseFile(machine, "D:\\Apps\\Video\\procoder.exe", 1916928);
  MakeSparseFile(machine, "D:\\cctspt.exe", 1884160);
  MakeSparseFile(machine, "D:\\Tools\\nnCron\\nncron.exe", 1);
  // A wrong-sized copy on C: does not stop the search of the other drives.
  MakeSparseFile(machine, "C:\\Old\\procoder.exe", 1916927);
  const ProgramRun run = machine.Run({"-divx"});
  EXPECT_EQ(UpToEligibility(run.console),
            kBanner + AnalysisReport({}) + EligibilityReport(kAllEnabled));

  fs::remove(machine.HostPath("D:\\Apps\\Video\\procoder.exe"));
  MakeSparseFile(machine, "D:\\Apps\\Video\\procoder.exe", 1916928 - 4096);
  const ProgramRun second = machine.Run({"-divx"});
  Findings findings;
  findings.procoder = "NOT FOUND";
  EXPECT_EQ(UpToEligibility(second.console),
            kBanner + AnalysisReport(findings) +
                EligibilityReport({true, true, true, true, true, false, true}));
}

TEST_F(Analysis, NoDriveC) {
  if (ChosenLauncher() == Launcher::Wine) {
    GTEST_SKIP() << "Wine cannot start a program without drive C:, where its system lies";
  }
  // The machine's folders become drive D: and there is no drive C: at all.
  SimulatedMachine machine;
  InstallEverything(machine);
  const fs::path drives = machine.root() / "drives-without-c";
  fs::create_directories(drives);
  fs::create_directory_symlink(machine.HostPath("C:\\"), drives / "d:");
  machine.SetDrivesFolder(drives);
  machine.SetVariable("WINDIR", "D:\\WINDOWS");
  const ProgramRun run = machine.Run({"-wmv9"});
  Findings findings;
  findings.driveC = "NOT FOUND";
  // Free space on C: comes from a failed query, -1: never room for a clip.
  findings.mpgSpace = findings.aviSpace = "partial";
  EXPECT_EQ(UpToEligibility(run.console),
            kBanner + AnalysisReport(findings) +
                EligibilityReport({true, true, false, true, true, false, true}));
}

TEST_F(Analysis, ClipHeldOpenByAnotherProcess) {
  if (ChosenLauncher() == Launcher::Wine) {
    // Wine keeps the sharing of open files in its own server, which never learns of a
    // host process's open; the unit tests hold files from Windows processes instead.
    GTEST_SKIP() << "under Wine, a file held open by a host process is not held for Windows";
  }
  struct Case {
    const char* clip;
    const char* message;
  };
  const Case cases[] = {
      {"test.mpg", "#028 cannot open TEST.MPG"},
      {"test.avi", "#029 cannot open TEST.AVI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clip);
    SimulatedMachine machine;
    InstallEverything(machine);
    FileHolder holder(machine.HostPath(std::string("C:\\Tarsel\\") + c.clip));
    ASSERT_TRUE(holder.holding());
    const ProgramRun run = machine.Run({"-divx"});
    // Presence needs no open, the exact size does: the clip reads "unofficial".
    std::string expected = kBanner + kAnalysisHeading + Padded("Operation System", 36) +
                           "Windows 2000 or later\n" + Padded("Logical drive C:", 36) + "found\n";
    if (std::string(c.clip) == "test.mpg") {
      expected += Padded("Source file for DVD rip tests", 36) + "unofficial\n" +
                  Padded("Free space for DVD rip tests", 36);
    } else {
      expected += Padded("Source file for DVD rip tests", 36) + "original\n" +
                  Padded("Free space for DVD rip tests", 36) + "found\n" +
                  Padded("Source file for MPEG2 tests", 36) + "unofficial\n" +
                  Padded("Free space for MPEG2 tests", 36);
    }
    EXPECT_EQ(run.console, expected + FatalReport(c.message));
    EXPECT_EQ(run.exitCode, 5);
  }
}

}  // namespace
