// Starting the program under test and collecting what it did. LaunchTarsel is the
// one place that knows how the program is started on a simulated machine: natively
// (the POSIX build, its drives given by TARSEL_DRIVES), or the Windows build under
// Wine, chosen by the environment of the test binary:
//
//   TARSEL_E2E_LAUNCHER=wine          run under Wine (unset or "posix": natively)
//   TARSEL_E2E_PROGRAM=PATH           the Windows program (a 32- or 64-bit .exe)
//   TARSEL_E2E_STANDIN=PATH           the Windows build of the testbed's stand-in
//   TARSEL_E2E_WINE_PREFIX=DIR        a Wine prefix made once, copied for every run
//   TARSEL_E2E_WINE=PATH              the Wine loader (default: the one of the prefix,
//                                     /usr/lib/wine/wine for a 32-bit prefix, else
//                                     /usr/lib/wine/wine64)
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
  /// Once the console holds this text, Ctrl-C is pressed: SIGINT goes to the process
  /// group of the program (and of everything it started). Empty: never.
  std::string interruptAt;
  int openFileLimit = 0;  ///< the soft limit of open files it starts with; 0: inherited
};

/// What one run did.
struct ProgramRun {
  std::string console;    ///< standard output, bytes unchanged (under Wine: CR LF made LF)
  std::string errors;     ///< standard error (under Wine: CR LF made LF)
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
  /// The program's environment as Windows texts ("TEMP" = "C:\Temp" ...). A variable
  /// that is not here is not set, also under Wine, which sets TEMP, COMSPEC, WINDIR,
  /// OS and APPDATA itself otherwise.
  std::map<std::string, std::string> variables;
  /// Where the command interpreter records its commands, one "directory<TAB>command"
  /// line each (the directory a host path or a Windows path).
  std::filesystem::path commandLog;
  std::vector<std::string> arguments;
  std::function<void(const std::string& consoleSoFar)> onOutput;
  std::string interruptAt;  ///< as in Launch; the native launcher only
  int openFileLimit = 0;    ///< as in Launch; the native launcher only
  /// The Wine prefix of a machine that the testbed laid out for Wine (WineLayoutOptions):
  /// the program then runs in it through the machine's own launcher
  /// C:\testbed\launch.exe, and the prefix lives on with the machine. Empty otherwise.
  std::filesystem::path winePrefix;
  /// A host program that a shell script starts in the background right before the
  /// program, in the same process group, and ends after it, as a tester's script
  /// would: the native launcher only. Empty: the program is started directly.
  std::filesystem::path jobBefore;
};

/// How LaunchTarsel starts the program.
enum class Launcher {
  Native,  ///< the host build, directly
  Wine,    ///< the Windows build under Wine
};

/// The launcher that TARSEL_E2E_LAUNCHER chooses. Ends the test binary with a message
/// when the variable names no launcher, so that a misspelt choice never runs natively
/// unnoticed.
Launcher ChosenLauncher();

/// Runs the built program on the machine, in its start directory, with its
/// environment and arguments, and waits for it: LaunchNatively or LaunchUnderWine, as
/// ChosenLauncher says.
ProgramRun LaunchTarsel(const MachineLaunch& machine);

/// The host build (TARSEL_PROGRAM), with TARSEL_DRIVES naming the drives folder and
/// COMSPEC's stand-in recording into TARSEL_COMMAND_LOG.
ProgramRun LaunchNatively(const MachineLaunch& machine);

/// The Windows build under Wine, in a private prefix made for this run: its
/// "dosdevices" map exactly the machine's drives (no "z:"), Wine's Windows directory is
/// linked in as "windows" on drive C: while the program runs (Wine cannot start
/// without it), and the testbed's launcher sets the machine's variables inside
/// Windows. A COMSPEC that names the machine's own recording interpreter (an
/// executable host program that is not a Windows one) is replaced by the testbed's
/// recording interpreter "cmdlog", which records each command and hands it to Wine's
/// own cmd.exe; its records are added to `commandLog`, with Windows directories. Runs
/// with WINEDEBUG=-all and gives the output with LF line ends. Fails (exit code -1, the
/// reason in `errors`) when the Wine setup is incomplete or the machine has no drive
/// C:.
ProgramRun LaunchUnderWine(const MachineLaunch& machine);

/// The options of the testbed's layout tool that lay out its whole machine for the
/// Windows build under Wine: the Windows stand-in, the prefix to copy and the Wine
/// loader, from the TARSEL_E2E_ variables above. Empty, with the reason in `problem`,
/// when they are incomplete.
std::vector<std::string> WineLayoutOptions(std::string& problem);

/// Ends every process of a Wine prefix (what a run left going, Wine's services) and
/// waits until its server has gone, so that the prefix can be removed.
void EndWine(const std::filesystem::path& prefix);
