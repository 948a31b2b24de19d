// A minimal Windows machine laid out in a temporary folder.
#include "simulated_machine.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "windows_names.h"

namespace fs = std::filesystem;

namespace {

/// The recording command interpreter, kept beside this file.
fs::path RecordingComSpecScript() {
  return fs::path(__FILE__).parent_path() / "recording_comspec.sh";
}

/// The testbed's layout tool, built beside the stand-in.
fs::path LayoutTool() {
#ifdef TARSEL_TESTBED_TOOL
  return TARSEL_TESTBED_TOOL;
#else
  return fs::path(TARSEL_STANDIN).parent_path() / "tarsel-testbed";
#endif
}

/// Reads one word of the layout tool's shell commands: single-quoted stretches
/// ('\'' for a quote inside) and plain characters, up to a blank or the end.
std::string ShellWord(const std::string& text, size_t& at) {
  std::string word;
  while (at < text.size() && text[at] != ' ') {
    if (text[at] == '\'') {
      const size_t close = text.find('\'', at + 1);
      if (close == std::string::npos) break;
      word += text.substr(at + 1, close - at - 1);
      at = close + 1;
    } else if (text[at] == '\\' && at + 1 < text.size()) {
      word += text[at + 1];
      at += 2;
    } else {
      word += text[at++];
    }
  }
  return word;
}

/// The launcher's "NAME=VALUE" lines; comments and names alone left out.
std::map<std::string, std::string> LauncherSettings(const fs::path& file) {
  std::map<std::string, std::string> settings;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (line.empty() || line[0] == ';' || equals == std::string::npos) continue;
    settings[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return settings;
}

fs::path MakeUniqueFolder() {
  std::string pattern = (fs::temp_directory_path() / "tarsel-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) std::abort();
  return fs::path(pattern);
}

}  // namespace

SimulatedMachine::SimulatedMachine()
    : root_(MakeUniqueFolder()),
      drives_(root_ / "drives"),
      drivesFolder_(drives_),
      commandLog_(root_ / "commands.log") {
  fs::create_directories(drives_);
  AddDrive('c');
  MakeDirectory(kStartDirectory);
  MakeDirectory(kTempDirectory);
  MakeDirectory(std::string(kWindowsDirectory) + "\\system32");
  fs::copy_file(RecordingComSpecScript(), HostPath(kComSpec));
  fs::permissions(HostPath(kComSpec), fs::perms::owner_all | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read |
                                          fs::perms::others_exec);
  variables_ = {
      {"TEMP", kTempDirectory},
      {"COMSPEC", kComSpec},
      {"WINDIR", kWindowsDirectory},
      {"OS", "Windows_NT"},
      {"APPDATA", "C:\\Documents and Settings\\Tester\\Application Data"},
  };
}

SimulatedMachine::SimulatedMachine(const std::vector<std::string>& layoutOptions)
    : root_(MakeUniqueFolder()),
      drives_(root_ / "machine" / "drives"),
      drivesFolder_(drives_),
      commandLog_(root_ / "machine" / "testbed" / "commands.log"),
      testbed_(root_ / "machine" / "testbed") {
  Launch layout;
  layout.program = LayoutTool();
  layout.arguments = {"layout", (root_ / "machine").string()};
  if (ChosenLauncher() == Launcher::Wine) {
    const std::vector<std::string> wine = WineLayoutOptions(layoutError_);
    if (!layoutError_.empty()) return;
    layout.arguments.insert(layout.arguments.end(), wine.begin(), wine.end());
  }
  layout.arguments.insert(layout.arguments.end(), layoutOptions.begin(), layoutOptions.end());
  layout.environment = {"PATH=/usr/bin:/bin"};
  layout.directory = root_;
  const ProgramRun run = RunHostProcess(layout);
  if (run.exitCode != 0) {
    layoutError_ = layout.program.string() + " failed: " + run.errors;
    return;
  }
  // "export NAME='value'" for each variable, then "cd 'start directory'".
  std::istringstream lines(run.console);
  std::string line;
  fs::path start;
  while (std::getline(lines, line)) {
    size_t at = 0;
    if (line.rfind("export ", 0) == 0) {
      at = line.find('=');
      if (at == std::string::npos) continue;
      const std::string name = line.substr(7, at - 7);
      ++at;
      const std::string value = ShellWord(line, at);
      if (name == "TARSEL_DRIVES") {
        drives_ = drivesFolder_ = value;
      } else if (name == "WINEPREFIX") {
        winePrefix_ = value;
      } else if (name.rfind("WINE", 0) != 0) {
        variables_[name] = value;
      }
    } else if (line.rfind("cd ", 0) == 0) {
      at = 3;
      start = ShellWord(line, at);
    }
  }
  if (!winePrefix_.empty()) {
    // The program's variables are the launcher's, set inside Windows; the machine
    // folder is C:\testbed.
    testbed_ = HostPath(variables_["TARSEL_TESTBED"]);
    commandLog_ = testbed_ / "commands.log";
    variables_ = LauncherSettings(testbed_ / "environment.ini");
  }
  startDirectory_ = WindowsPathOf(fs::canonical(start));
  if (startDirectory_.empty() || startDirectory_[1] != ':') {
    layoutError_ = "the start directory " + start.string() + " lies on no drive";
  }
}

void SimulatedMachine::ReleaseHolds() const {
  if (!testbed_.empty()) std::ofstream(testbed_ / "holds.release") << "released\r\n";
}

SimulatedMachine::~SimulatedMachine() {
  std::error_code ignored;
  ReleaseHolds();
  if (!winePrefix_.empty()) {
    EndWine(winePrefix_);
  } else if (!testbed_.empty() && layoutError_.empty()) {
    // An automation script that a run left waiting would outlive the machine.
    Launch stop;
    stop.program = HostPath(std::string(kComSpec));
    stop.arguments = {"/c net stop nncron > nul"};
    stop.environment = {"PATH=/usr/bin:/bin", "TARSEL_DRIVES=" + drivesFolder_.string(),
                        "TARSEL_TESTBED=" + testbed_.string()};
    stop.directory = HostPath(startDirectory_);
    stop.timeout = std::chrono::seconds(10);
    RunHostProcess(stop);
  }
  fs::remove_all(root_, ignored);
}

fs::path SimulatedMachine::AddDrive(char letter) {
  const fs::path drive = drives_ / (std::string(1, static_cast<char>(std::tolower(letter))) + ":");
  fs::create_directories(drive);
  return drive;
}

fs::path SimulatedMachine::HostPath(std::string_view windowsPath) const {
  // Only absolute "X:\..." texts: the tests always name where a file lies.
  fs::path path = drives_ / (std::string(1, static_cast<char>(std::tolower(windowsPath[0]))) + ":");
  size_t start = 3;
  while (start < windowsPath.size()) {
    size_t end = windowsPath.find('\\', start);
    if (end == std::string_view::npos) end = windowsPath.size();
    if (end > start) {
      // The last name is taken as spelt, so that a test can make names that differ
      // only in case; so is a folder not there yet.
      const std::string name(windowsPath.substr(start, end - start));
      const fs::path found = end < windowsPath.size() ? FindEntry(path, name) : fs::path();
      path = found.empty() ? path / name : found;
    }
    start = end + 1;
  }
  return path;
}

void SimulatedMachine::MakeFile(std::string_view windowsPath, std::string_view contents) const {
  const fs::path path = HostPath(windowsPath);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

void SimulatedMachine::ScriptTimerReport(std::string_view text) const {
  std::ofstream(testbed_ / "timer-report.txt", std::ios::binary) << text;
}

void SimulatedMachine::MakeDirectory(std::string_view windowsPath) const {
  fs::create_directories(HostPath(windowsPath));
}

bool SimulatedMachine::Exists(std::string_view windowsPath) const {
  return fs::exists(HostPath(windowsPath));
}

void SimulatedMachine::RemoveSystemFile(std::string_view name) const {
  for (const char* folder : {"\\system32\\", "\\syswow64\\"}) {
    std::error_code ignored;
    fs::remove(HostPath(std::string(kWindowsDirectory) + folder + std::string(name)), ignored);
  }
}

void SimulatedMachine::SetVariable(const std::string& name, const std::string& value) {
  variables_[name] = value;
}

void SimulatedMachine::UnsetVariable(const std::string& name) {
  variables_.erase(name);
}

std::string SimulatedMachine::WindowsPathOf(const fs::path& hostPath) const {
  std::string best;
  size_t bestLength = 0;
  std::error_code error;
  for (const fs::directory_entry& drive : fs::directory_iterator(drives_, error)) {
    const std::string name = drive.path().filename().string();
    if (name.size() != 2 || name[1] != ':') continue;
    const std::string rootText = fs::canonical(drive.path(), error).string();
    const std::string text = hostPath.string();
    if (text.compare(0, rootText.size(), rootText) != 0) continue;
    if (text.size() > rootText.size() && text[rootText.size()] != '/') continue;
    if (!best.empty() && rootText.size() <= bestLength) continue;
    std::string rest = text.substr(rootText.size());
    for (char& c : rest) {
      if (c == '/') c = '\\';
    }
    best = std::string(1, static_cast<char>(std::toupper(name[0]))) + ":" +
           (rest.empty() ? "\\" : rest);
    bestLength = rootText.size();
  }
  return best.empty() ? hostPath.string() : best;
}

std::vector<RecordedCommand> SimulatedMachine::RecordedCommands() const {
  std::vector<RecordedCommand> commands;
  std::ifstream log(commandLog_);
  std::string line;
  while (std::getline(log, line)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    commands.push_back({WindowsPathOf(line.substr(0, tab)), line.substr(tab + 1)});
  }
  return commands;
}

std::vector<RecordedEvent> SimulatedMachine::RecordedEvents() const {
  std::vector<RecordedEvent> events;
  std::ifstream log(testbed_ / "events.log");
  std::string line;
  while (std::getline(log, line)) {
    const size_t first = line.find('\t');
    const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    events.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1),
                      line.substr(second + 1)});
  }
  return events;
}

MachineLaunch SimulatedMachine::LaunchOf(const std::vector<std::string>& arguments) const {
  return MachineLaunch{.drivesFolder = drivesFolder_,
                       .startDirectory = HostPath(startDirectory_),
                       .variables = variables_,
                       .commandLog = commandLog_,
                       .arguments = arguments,
                       .onOutput = nullptr,
                       .interruptAt = "",
                       .openFileLimit = openFileLimit_,
                       .winePrefix = winePrefix_,
                       .jobBefore = jobBefore_};
}

ProgramRun SimulatedMachine::Run(const std::vector<std::string>& arguments,
                                 std::function<void(const std::string&)> onOutput) const {
  MachineLaunch launch = LaunchOf(arguments);
  launch.onOutput = std::move(onOutput);
  return LaunchTarsel(launch);
}

ProgramRun SimulatedMachine::RunAndInterrupt(const std::vector<std::string>& arguments,
                                             const std::string& interruptAt) const {
  MachineLaunch launch = LaunchOf(arguments);
  launch.interruptAt = interruptAt;
  return LaunchTarsel(launch);
}

::testing::AssertionResult CommandsAre(const SimulatedMachine& machine,
                                       const std::vector<RecordedCommand>& expected) {
  const std::vector<RecordedCommand> recorded = machine.RecordedCommands();
  if (recorded == expected) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  // Every test starts by copying its pack, "/c copy /y pack.00N ...".
  const std::string packCopy = "/c copy /y ";
  std::string test = "no test (no pack was copied)";
  for (const RecordedCommand& command : recorded) {
    if (command.command.rfind(packCopy + "pack.", 0) == 0) {
      test = "the test of " + command.command.substr(packCopy.size(), 8);
    }
  }
  failure << "the run reached " << test << "; its last command: "
          << (recorded.empty() ? std::string("none") : ::testing::PrintToString(recorded.back()));
  const std::vector<RecordedEvent> events = machine.RecordedEvents();
  if (!events.empty()) failure << "; the last program started: " << events.back();
  size_t same = 0;
  while (same < recorded.size() && same < expected.size() && recorded[same] == expected[same]) {
    ++same;
  }
  failure << "\nfirst difference at command " << same + 1 << ": recorded "
          << (same < recorded.size() ? ::testing::PrintToString(recorded[same]) : "nothing")
          << ", expected "
          << (same < expected.size() ? ::testing::PrintToString(expected[same]) : "nothing")
          << "\nrecorded: " << ::testing::PrintToString(recorded)
          << "\nexpected: " << ::testing::PrintToString(expected);
  return failure;
}
