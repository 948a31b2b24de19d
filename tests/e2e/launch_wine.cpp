// Starting the Windows build of the program under Wine on a simulated machine: a
// private prefix for every run whose drives are exactly the machine's, the machine's
// variables set inside Windows by the testbed's launcher, and the commands given to
// the command interpreter recorded on their way to Wine's own cmd.exe.
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "launch.h"
#include "windows_names.h"

namespace fs = std::filesystem;

namespace {

// Debian's loaders: a 32-bit prefix (a Windows 2000 or XP of its own) needs the 32-bit
// one; a 64-bit prefix runs 64-bit and 32-bit programs with the 64-bit one.
constexpr char kLoader32[] = "/usr/lib/wine/wine";
constexpr char kLoader64[] = "/usr/lib/wine/wine64";

// Wine keeps its system in C:\windows, whatever WINDIR says.
constexpr char kWineWindowsName[] = "windows";
constexpr char kWineInterpreter[] = "C:\\windows\\system32\\cmd.exe";

// Wine gives every Windows process its own values of these; the launcher sets the
// machine's or removes them.
constexpr const char* kVariablesWineSets[] = {"TEMP", "COMSPEC", "WINDIR", "OS", "APPDATA"};

// What a copy of the prefix needs: its registry and the stamp that tells Wine it is up
// to date (without it every run would first update the prefix, on the machine's C:).
constexpr const char* kPrefixFiles[] = {"system.reg", "user.reg", "userdef.reg",
                                        ".update-timestamp"};

struct WineSetup {
  fs::path program;  ///< the Windows program under test
  fs::path standIn;  ///< the Windows stand-in: the launcher and the recording interpreter
  fs::path templatePrefix;
  fs::path loader;
  fs::path server;
};

ProgramRun Failure(const std::string& reason) {
  ProgramRun run;
  run.errors = "Wine launcher: " + reason + "\n";
  return run;
}

/// True when the prefix is a 32-bit one: Wine marks its registry "#arch=win32".
bool IsPrefix32(const fs::path& prefix) {
  std::ifstream registry(prefix / "system.reg");
  std::string line;
  for (int i = 0; i < 8 && std::getline(registry, line); ++i) {
    if (line.rfind("#arch=win32", 0) == 0) return true;
  }
  return false;
}

/// TARSEL_E2E_WINE, else the loader that serves the prefix.
fs::path Loader(const fs::path& prefix) {
  const char* loader = std::getenv("TARSEL_E2E_WINE");
  if (loader != nullptr && *loader != '\0') return loader;
  return IsPrefix32(prefix) ? kLoader32 : kLoader64;
}

fs::path ServerBeside(const fs::path& loader) {
  const fs::path server = loader.parent_path() / "wineserver";
  return fs::exists(server) ? server : fs::path("/usr/bin/wineserver");
}

bool ReadWineSetup(WineSetup& setup, std::string& problem) {
  const auto read = [&problem](const char* name, fs::path& into) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
      problem += std::string(name) + " is not set; ";
    } else {
      into = fs::absolute(value);
      if (!fs::exists(into)) problem += std::string(name) + "=" + value + " does not exist; ";
    }
  };
  read("TARSEL_E2E_PROGRAM", setup.program);
  read("TARSEL_E2E_STANDIN", setup.standIn);
  read("TARSEL_E2E_WINE_PREFIX", setup.templatePrefix);
  setup.loader = Loader(setup.templatePrefix);
  if (!fs::exists(setup.loader)) problem += "no Wine loader at " + setup.loader.string() + "; ";
  setup.server = ServerBeside(setup.loader);
  if (problem.empty()) {
    for (const char* name : kPrefixFiles) {
      if (!fs::exists(setup.templatePrefix / name)) {
        problem += "the prefix " + setup.templatePrefix.string() + " lacks " + name + "; ";
      }
    }
    if (!fs::is_directory(setup.templatePrefix / "drive_c" / kWineWindowsName)) {
      problem += "the prefix " + setup.templatePrefix.string() + " has no Windows directory; ";
    }
  }
  return problem.empty();
}

/// The Windows text of a host path that lies on no drive: Wine's "\\?\unix\" form.
std::string UnixPathText(const fs::path& hostPath) {
  std::string text = "\\\\?\\unix" + fs::absolute(hostPath).string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

/// The host file that an absolute Windows path ("X:\a\b") names on the machine; empty
/// when it names nothing there.
fs::path MachineHostPath(const fs::path& drives, const std::string& windowsPath) {
  if (windowsPath.size() < 2 || windowsPath[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(windowsPath[0]))) {
    return fs::path();
  }
  const std::string drive(
      {static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0]))), ':'});
  fs::path at = FindEntry(drives, drive);
  size_t start = 2;
  while (!at.empty() && start < windowsPath.size()) {
    size_t end = windowsPath.find_first_of("\\/", start);
    if (end == std::string::npos) end = windowsPath.size();
    if (end > start) at = FindEntry(at, windowsPath.substr(start, end - start));
    start = end + 1;
  }
  return at;
}

/// The machine's own interpreter for the native build: a host program that a Windows
/// program cannot start (no "MZ" at its start), which records the commands.
bool IsHostInterpreter(const fs::path& hostPath) {
  std::error_code error;
  if (hostPath.empty() || !fs::is_regular_file(hostPath, error)) return false;
  if ((fs::status(hostPath, error).permissions() & fs::perms::owner_exec) == fs::perms::none) {
    return false;
  }
  std::ifstream file(hostPath, std::ios::binary);
  char magic[2] = {0, 0};
  file.read(magic, 2);
  return !(magic[0] == 'M' && magic[1] == 'Z');
}

/// A folder of its own below the host's temporary folder, removed with everything in
/// it when the object goes.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "tarsel-wine-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

/// Wine's Windows directory linked in as "windows" on the machine's drive C: for one
/// run, and Wine's profile folder "users", which it makes there at start-up, taken
/// away again unless the machine had one.
class WineWindowsOnDriveC {
 public:
  WineWindowsOnDriveC(const fs::path& driveC, const fs::path& wineWindows, std::string& problem)
      : link_(driveC / kWineWindowsName), users_(driveC / "users") {
    std::error_code error;
    hadUsers_ = !FindEntry(driveC, "users").empty();
    if (fs::exists(fs::symlink_status(link_, error))) {
      problem = "the machine's drive C: has its own \"windows\", where Wine keeps its system";
      link_.clear();
      return;
    }
    fs::create_directory_symlink(wineWindows, link_, error);
    if (error) {
      problem = "cannot link Wine's Windows directory into drive C: " + error.message();
      link_.clear();
    }
  }
  ~WineWindowsOnDriveC() {
    std::error_code ignored;
    if (!link_.empty()) fs::remove(link_, ignored);
    if (!hadUsers_) fs::remove_all(users_, ignored);
  }
  WineWindowsOnDriveC(const WineWindowsOnDriveC&) = delete;
  WineWindowsOnDriveC& operator=(const WineWindowsOnDriveC&) = delete;

 private:
  fs::path link_;
  fs::path users_;
  bool hadUsers_ = true;
};

/// A prefix with the template's registry whose drives are exactly the machine's
/// "x:" entries. False with the reason when it cannot be made.
bool MakePrefix(const WineSetup& setup, const fs::path& drives, const fs::path& prefix,
                std::string& problem) {
  std::error_code error;
  fs::create_directories(prefix / "dosdevices", error);
  for (const char* name : kPrefixFiles) {
    if (!error) fs::copy_file(setup.templatePrefix / name, prefix / name, error);
  }
  if (error) {
    problem = "cannot copy the prefix " + setup.templatePrefix.string() + ": " + error.message();
    return false;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(drives, error)) {
    const std::string name = entry.path().filename().string();
    const bool isDrive = name.size() == 2 && name[0] >= 'a' && name[0] <= 'z' && name[1] == ':';
    std::error_code ignored;
    if (!isDrive || !fs::is_directory(entry.path(), ignored)) continue;
    fs::create_directory_symlink(fs::absolute(entry.path()), prefix / "dosdevices" / name, error);
    if (error) {
      problem = "cannot map drive " + name + ": " + error.message();
      return false;
    }
  }
  return true;
}

/// The text with every CR LF made LF.
std::string WithLineFeeds(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

void EndWineWith(const fs::path& server, const fs::path& prefix) {
  for (const char* option : {"-k", "-w"}) {
    Launch end;
    end.program = server;
    end.arguments = {option};
    end.environment = {"WINEPREFIX=" + prefix.string(), "PATH=/usr/bin:/bin"};
    end.directory = prefix;
    end.timeout = std::chrono::seconds(30);
    RunHostProcess(end);
  }
}

/// The launcher's settings in the machine folder `testbed`: every variable Wine sets
/// is given the machine's value or removed (a name alone), so the program sees the
/// machine's environment only.
void WriteLauncherSettings(const fs::path& testbed,
                           const std::map<std::string, std::string>& variables) {
  std::string settings = "; the machine's environment\r\n";
  for (const char* name : kVariablesWineSets) {
    if (variables.count(name) == 0) settings += std::string(name) + "\r\n";
  }
  for (const auto& [name, value] : variables) settings += name + "=" + value + "\r\n";
  std::ofstream(testbed / "environment.ini", std::ios::binary) << settings;
}

/// The host environment of a Wine run in `prefix`, for a machine folder whose Windows
/// path is `testbed`.
std::vector<std::string> WineEnvironment(const fs::path& prefix, const std::string& testbed) {
  std::vector<std::string> environment = {
      "WINEPREFIX=" + prefix.string(),
      "WINEDEBUG=-all",
      // No menu entries on the host, no offers to install Mono or Gecko, and the
      // testbed's editor rather than Wine's notepad, which needs a display.
      "WINEDLLOVERRIDES=winemenubuilder.exe=d;mscoree,mshtml=;notepad.exe=n",
      "TARSEL_TESTBED=" + testbed,
      "PATH=/usr/bin:/bin",
  };
  if (const char* home = std::getenv("HOME")) environment.push_back(std::string("HOME=") + home);
  return environment;
}

ProgramRun RunUnderWine(const WineSetup& setup, const MachineLaunch& machine,
                        const fs::path& launcher, const fs::path& prefix,
                        const std::string& testbed) {
  Launch launch;
  launch.program = setup.loader;
  launch.arguments = {launcher.string(), UnixPathText(setup.program)};
  launch.arguments.insert(launch.arguments.end(), machine.arguments.begin(),
                          machine.arguments.end());
  launch.environment = WineEnvironment(prefix, testbed);
  launch.directory = machine.startDirectory;
  // Every Windows process starts slowly under Wine: a run of all seven tests takes
  // minutes where it takes seconds natively, and more under emulation, which sets
  // TARSEL_E2E_WINE_SECONDS.
  const char* seconds = std::getenv("TARSEL_E2E_WINE_SECONDS");
  launch.timeout =
      std::chrono::seconds(seconds != nullptr && std::atoi(seconds) > 0 ? std::atoi(seconds) : 300);
  if (machine.onOutput) {
    launch.onOutput = [&machine](const std::string& console) {
      machine.onOutput(WithLineFeeds(console));
    };
  }
  ProgramRun run = RunHostProcess(launch);
  run.console = WithLineFeeds(run.console);
  run.errors = WithLineFeeds(run.errors);
  return run;
}

/// The program on a machine that the testbed laid out for Wine: its own prefix, its
/// launcher and recording interpreter in C:\testbed. Whatever the run leaves going
/// goes on until the machine ends its prefix.
ProgramRun LaunchOnWineMachine(const WineSetup& setup, const MachineLaunch& machine) {
  const fs::path testbed = machine.drivesFolder / "c:" / "testbed";
  std::error_code error;
  if (!fs::is_regular_file(testbed / "launch.exe", error)) {
    return Failure("the machine has no launcher " + (testbed / "launch.exe").string());
  }
  WriteLauncherSettings(testbed, machine.variables);
  return RunUnderWine(setup, machine, "C:\\testbed\\launch.exe", machine.winePrefix, "C:\\testbed");
}

/// Adds the recording interpreter's lines to the machine's command log.
void CopyCommandRecords(const fs::path& records, const fs::path& commandLog) {
  if (commandLog.empty()) return;
  std::ifstream in(records, std::ios::binary);
  if (!in) return;
  const std::string text = WithLineFeeds(
      std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  std::ofstream(commandLog, std::ios::binary | std::ios::app) << text;
}

}  // namespace

ProgramRun LaunchUnderWine(const MachineLaunch& machine) {
  WineSetup setup;
  std::string problem;
  if (!ReadWineSetup(setup, problem)) return Failure(problem);
  if (!machine.interruptAt.empty()) return Failure("Ctrl-C cannot be pressed under Wine");
  if (!machine.jobBefore.empty()) return Failure("no script starts a job before it under Wine");
  if (!machine.winePrefix.empty()) return LaunchOnWineMachine(setup, machine);
  if (machine.variables.count("TARSEL_TESTBED") != 0) {
    return Failure("the testbed's whole machine runs under Wine only as laid out with --wine");
  }
  const fs::path driveC = machine.drivesFolder / "c:";
  std::error_code error;
  if (!fs::is_directory(driveC, error)) {
    return Failure("the machine has no drive C:, which Wine needs for its Windows directory");
  }

  const TemporaryFolder folder;
  if (folder.path().empty()) return Failure("cannot make a temporary folder");
  const fs::path prefix = folder.path() / "prefix";
  const fs::path testbed = folder.path() / "testbed";
  if (!MakePrefix(setup, machine.drivesFolder, prefix, problem)) return Failure(problem);
  fs::create_directories(testbed, error);
  for (const char* name : {"launch.exe", "cmdlog.exe"}) {
    if (!error) fs::copy_file(setup.standIn, testbed / name, error);
  }
  if (error) return Failure("cannot copy the stand-in: " + error.message());

  std::map<std::string, std::string> variables = machine.variables;
  const auto comSpec = variables.find("COMSPEC");
  if (comSpec != variables.end() &&
      IsHostInterpreter(MachineHostPath(machine.drivesFolder, comSpec->second))) {
    comSpec->second = UnixPathText(testbed / "cmdlog.exe");
  }
  WriteLauncherSettings(testbed, variables);
  std::ofstream(testbed / "controls.ini", std::ios::binary)
      << "interpreter=" << kWineInterpreter << "\r\n";

  ProgramRun run;
  {
    const WineWindowsOnDriveC windows(driveC, setup.templatePrefix / "drive_c" / kWineWindowsName,
                                      problem);
    if (!problem.empty()) return Failure(problem);
    run = RunUnderWine(setup, machine, testbed / "launch.exe", prefix, UnixPathText(testbed));
    EndWineWith(setup.server, prefix);
  }
  CopyCommandRecords(testbed / "commands.log", machine.commandLog);
  return run;
}

std::vector<std::string> WineLayoutOptions(std::string& problem) {
  WineSetup setup;
  if (!ReadWineSetup(setup, problem)) return {};
  return {"--wine",
          "--stand-in",
          setup.standIn.string(),
          "--wine-template",
          setup.templatePrefix.string(),
          "--wine-loader",
          setup.loader.string()};
}

void EndWine(const fs::path& prefix) {
  EndWineWith(ServerBeside(Loader(prefix)), prefix);
}
