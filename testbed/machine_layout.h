// The layout of a simulated Windows machine in a host folder: drives, the start
// directory with the clips and test packs, the Windows directory, the installed
// encoders and nnCron, and the environment a shell needs to run the program there.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

/// Reference sizes of the files the program looks for.
constexpr int64_t kReferenceMpgSize = 34822144;
constexpr int64_t kReferenceAviSize = 667794940;

/// Where things are inside the machine (Windows paths).
constexpr const char* kWindowsDirectory = "C:\\WINDOWS";
constexpr const char* kStartDirectory = "D:\\Tarsel";
// Windows XP gives TEMP in short names, which keeps command lines free of blanks.
constexpr const char* kDefaultTempDirectory = "C:\\DOCUME~1\\Tester\\LOCALS~1\\Temp";
constexpr const char* kAppDataDirectory = "C:\\Documents and Settings\\Tester\\Application Data";
constexpr const char* kProCoderDirectory = "C:\\Program Files\\Canopus\\ProCoder";
constexpr const char* kNnCronDirectory = "C:\\Program Files\\nnCron";
constexpr const char* kMainconceptDirectory = "D:\\Program Files\\Mainconcept\\MPEG Encoder";
constexpr const char* kCinemaCraftDirectory = "D:\\Program Files\\Cinema Craft\\CCE SP";

/// What to lay out. The defaults give a machine on which every test can run and pass.
struct MachineOptions {
  std::string folder;   ///< host folder of the machine; created, must be empty or new
  std::string standIn;  ///< host path of the stand-in executable
  std::string program;  ///< host path of the program to copy into the start directory; may be empty
  int64_t mpgSize = kReferenceMpgSize;  ///< -1: no "test.mpg"
  int64_t aviSize = kReferenceAviSize;  ///< -1: no "test.avi"
  std::string tempDirectory = kDefaultTempDirectory;
  /// CPU seconds each encoding takes, whatever the clip's size; 0 only reads the clip.
  double workSeconds = 1.0;

  // Controls for end-to-end tests.
  std::map<std::string, int64_t> outputSizes;  ///< output name (as the job names it) → size
  std::set<std::string> skippedOutputs;        ///< outputs an encoder never writes
  std::map<std::string, int> heldOutputs;      ///< output name → milliseconds held open
  int timerShare = -1;                         ///< process share the timer reports
  double timerSeconds = -1;                    ///< wall time the timer reports
  /// The current processor clock, in percent of nominal, while the timer measures (a
  /// POSIX machine's made-up sysfs); -1: steady at nominal.
  int timerClockPercent = -1;
  /// A busy program that the timer runs beside the measured one: the stand-in copied to
  /// the machine folder under this name (at most 15 characters; ".exe" added under
  /// Wine). Empty: none.
  std::string competitor;
  /// The competitor is the caller's to start (a script, before the program): the timer
  /// leaves it alone.
  bool competitorByScript = false;
  std::set<int> markerNeverCreated;  ///< test numbers (4 to 7) whose script never creates it
  std::set<int> markerNeverRemoved;  ///< test numbers whose script never removes it
  bool xcopyFails = false;
  std::map<int, std::string> packPasswords;  ///< pack number → password sealed with
  std::map<int, std::string> packLists;      ///< pack number → "wrong" or "malformed"

  /// A machine for the Windows build under Wine: drive C: is a Wine prefix's drive_c
  /// (Wine's own cmd, xcopy, regedit and net serve), `standIn` is the Windows stand-in,
  /// and the launcher "C:\testbed\launch.exe" gives the program the machine's
  /// environment, which Wine would otherwise replace.
  bool wine = false;
  std::string wineTemplate;  ///< a prefix to copy instead of making a new one; may be empty
  std::string wineLoader = "wine64";  ///< the Wine loader that serves the prefix
};

/// The environment of the machine, in the order a shell should set it.
struct MachineEnvironment {
  std::vector<std::pair<std::string, std::string>> variables;
  std::string startDirectory;  ///< host path of the start directory
  std::string runCommand;      ///< how a shell runs the program there, before its arguments
};

/// Lays out the machine. False with a reason on any failure.
bool LayOutMachine(const MachineOptions& options, MachineEnvironment& environment,
                   std::string& error);

/// Shell commands ("export NAME='value'" lines, then "cd") that enter the machine.
std::string ShellCommandsFor(const MachineEnvironment& environment);

/// The rounds of encoder work that take about `seconds` of CPU time for a clip of
/// `clipBytes`, read `passes` times.
int WorkRoundsFor(double seconds, int64_t clipBytes, int passes);
