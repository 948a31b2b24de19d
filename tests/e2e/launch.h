// Starting the program under test and collecting what it did. LaunchTarsel is the
// one place that knows how the program is started on a simulated machine; running
// it under Wine means another LaunchTarsel, nothing else.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

/// One start of a host process.
struct Launch {
  std::filesystem::path program;         ///< host path of the executable
  std::vector<std::string> arguments;    ///< argv[1] onward
  std::vector<std::string> environment;  ///< the whole environment, "NAME=value" each
  std::filesystem::path directory;       ///< the current directory it starts in
  std::chrono::seconds timeout{60};      ///< killed after this, so a hang fails the test
  /// Called with the whole console text so far each time more arrives; lets a test
  /// act on the machine while the program runs (for example during a pause).
  std::function<void(const std::string& consoleSoFar)> onOutput;
};

/// What one run did.
struct ProgramRun {
  std::string console;    ///< standard output, bytes unchanged
  std::string errors;     ///< standard error
  int exitCode = -1;      ///< the exit status; 128 + signal number when killed by one
  bool timedOut = false;  ///< it was killed after Launch::timeout
  double seconds = 0;     ///< from the start to the end of the process
};

/// Runs a host process with standard input from the null device and waits for it
/// (at most Launch::timeout).
ProgramRun RunHostProcess(const Launch& launch);

/// What a simulated machine hands to the launcher.
struct MachineLaunch {
  std::filesystem::path drivesFolder;    ///< the folder of "c:", "d:" ... entries
  std::filesystem::path startDirectory;  ///< host path of the start directory
  /// The program's environment as Windows texts ("TEMP" = "C:\Temp" ...).
  std::map<std::string, std::string> variables;
  /// Where the command interpreter stand-in records its commands.
  std::filesystem::path commandLog;
  std::vector<std::string> arguments;
  std::function<void(const std::string& consoleSoFar)> onOutput;
};

/// Runs the built program on the machine, in its start directory, with its
/// environment and arguments, and waits for it.
ProgramRun LaunchTarsel(const MachineLaunch& machine);
