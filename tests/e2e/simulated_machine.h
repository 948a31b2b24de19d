// A minimal Windows machine laid out in a temporary folder, for running the built
// program end to end.
#pragma once

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "launch.h"

/// One command that the command interpreter stand-in was given.
struct RecordedCommand {
  std::string directory;  ///< the current directory, as a Windows path ("C:\Tarsel")
  std::string command;    ///< the argument text, for example "/c net stop nncron > nul"

  friend bool operator==(const RecordedCommand& a, const RecordedCommand& b) {
    return a.directory == b.directory && a.command == b.command;
  }
  friend std::ostream& operator<<(std::ostream& out, const RecordedCommand& c) {
    return out << "{" << c.directory << ", " << c.command << "}";
  }
};

/// One start of a stand-in, as the testbed's event log records it.
struct RecordedEvent {
  std::string role;       ///< the program it acted as: "regedit", "nncron", "notepad" ...
  std::string directory;  ///< the current directory, as a Windows path
  std::string arguments;  ///< the argument text it was given

  friend bool operator==(const RecordedEvent& a, const RecordedEvent& b) {
    return a.role == b.role && a.directory == b.directory && a.arguments == b.arguments;
  }
  friend std::ostream& operator<<(std::ostream& out, const RecordedEvent& e) {
    return out << "{" << e.role << ", " << e.directory << ", " << e.arguments << "}";
  }
};

/// The machine. By default a minimal one: a drives folder with "c:" (and more on
/// request), the start directory C:\Tarsel, the work directory C:\Temp, C:\WINDOWS
/// with system32, and a command interpreter stand-in at C:\WINDOWS\system32\cmd.exe
/// that records every command. The environment holds TEMP, COMSPEC, WINDIR, OS and
/// APPDATA as Windows path texts. Everything is removed when the machine goes.
///
/// With layout options, the whole machine of the testbed instead, laid out by its
/// layout tool "tarsel-testbed layout" with those options (testbed/README.md): drives
/// C: and D:, the start directory D:\Tarsel with the clips and the seven packs, every
/// encoder, nnCron and a stand-in for every outside program. When the program runs
/// under Wine, the machine is laid out for Wine: drive C: is a Wine prefix of its own,
/// Wine's cmd, xcopy and regedit serve, and the recording interpreter hands each
/// command on to Wine's cmd.
class SimulatedMachine {
 public:
  static constexpr char kStartDirectory[] = "C:\\Tarsel";
  static constexpr char kTempDirectory[] = "C:\\Temp";
  static constexpr char kWindowsDirectory[] = "C:\\WINDOWS";
  static constexpr char kComSpec[] = "C:\\WINDOWS\\system32\\cmd.exe";

  SimulatedMachine();
  /// The testbed's machine, laid out with these options of its layout tool.
  explicit SimulatedMachine(const std::vector<std::string>& layoutOptions);
  ~SimulatedMachine();
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  /// Adds drive `letter` as an empty folder and returns its host path.
  std::filesystem::path AddDrive(char letter);

  /// The host path of a Windows path on one of the machine's drives: its folders found
  /// as Windows finds them (in any case, when not there as spelt), its last name as
  /// spelt.
  std::filesystem::path HostPath(std::string_view windowsPath) const;

  /// Creates a file (and its folders) at a Windows path.
  void MakeFile(std::string_view windowsPath, std::string_view contents = "x") const;
  void MakeDirectory(std::string_view windowsPath) const;
  bool Exists(std::string_view windowsPath) const;

  /// Removes a file of the system folder C:\WINDOWS\system32, and its copy in
  /// syswow64 where there is one: a 64-bit Wine prefix shows a 32-bit program that
  /// folder as its system32.
  void RemoveSystemFile(std::string_view name) const;

  /// Makes the timing tool print these bytes in place of its report: the test log the
  /// program reads after the measurement, whatever the measured encoder printed first.
  void ScriptTimerReport(std::string_view text) const;

  /// Sets or removes one environment variable of the program (a Windows text).
  void SetVariable(const std::string& name, const std::string& value);
  void UnsetVariable(const std::string& name);

  /// The soft limit of open files the program starts with (natively only); 0: as the
  /// test binary's.
  void SetOpenFileLimit(int limit) { openFileLimit_ = limit; }

  /// A host program that a script starts before the program, in its process group
  /// (natively only; MachineLaunch::jobBefore).
  void SetJobBefore(const std::filesystem::path& job) { jobBefore_ = job; }

  /// Points TARSEL_DRIVES somewhere else, for instance at a folder that is missing.
  void SetDrivesFolder(const std::filesystem::path& folder) { drivesFolder_ = folder; }

  std::filesystem::path root() const { return root_; }

  /// The host folder of the testbed's own files (controls, logs of the stand-ins); empty
  /// on the minimal machine.
  const std::filesystem::path& testbedFolder() const { return testbed_; }

  /// Why the testbed's layout failed; empty when it succeeded (and always for the
  /// minimal machine).
  const std::string& layoutError() const { return layoutError_; }

  /// The start directory as a Windows path: C:\Tarsel, or D:\Tarsel on the testbed's.
  const std::string& startDirectory() const { return startDirectory_; }

  /// Everything the command interpreter was asked to run, in order.
  std::vector<RecordedCommand> RecordedCommands() const;

  /// The stand-ins started so far, in order (testbed machine only).
  std::vector<RecordedEvent> RecordedEvents() const;

  /// Ends every hold of an encoder's output ("--hold"): writes the testbed's release
  /// file, whose appearance the holders wait for.
  void ReleaseHolds() const;

  /// Runs the built program with these arguments in the start directory and waits
  /// for it. `onOutput` as in Launch.
  ProgramRun Run(const std::vector<std::string>& arguments,
                 std::function<void(const std::string&)> onOutput = nullptr) const;

  /// Runs it as Run does and presses Ctrl-C once the console holds `interruptAt`
  /// (natively only: SIGINT to the program's process group).
  ProgramRun RunAndInterrupt(const std::vector<std::string>& arguments,
                             const std::string& interruptAt) const;

 private:
  /// The Windows form of a host directory: the drive whose root is its longest
  /// prefix, as the program reports it.
  std::string WindowsPathOf(const std::filesystem::path& hostPath) const;

  MachineLaunch LaunchOf(const std::vector<std::string>& arguments) const;

  std::filesystem::path root_;
  std::filesystem::path drives_;
  std::filesystem::path drivesFolder_;  ///< what TARSEL_DRIVES names
  std::filesystem::path commandLog_;
  std::map<std::string, std::string> variables_;
  std::string startDirectory_ = kStartDirectory;
  std::filesystem::path testbed_;     ///< the testbed's machine folder; empty otherwise
  std::filesystem::path winePrefix_;  ///< the machine's own prefix when laid out for Wine
  std::string layoutError_;
  int openFileLimit_ = 0;
  std::filesystem::path jobBefore_;
};

/// Whether the interpreter was given exactly `expected`. On a difference it says how far
/// the run got, from the machine's own logs, since a run may end without a word (a fatal
/// error in debug mode): the test whose pack was copied last, the last command and the
/// last stand-in started; then the first difference and both lists.
::testing::AssertionResult CommandsAre(const SimulatedMachine& machine,
                                       const std::vector<RecordedCommand>& expected);
