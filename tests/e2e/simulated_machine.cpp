// A minimal Windows machine laid out in a temporary folder.
#include "simulated_machine.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

/// The recording command interpreter, kept beside this file.
fs::path RecordingComSpecScript() {
  return fs::path(__FILE__).parent_path() / "recording_comspec.sh";
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

SimulatedMachine::~SimulatedMachine() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

fs::path SimulatedMachine::AddDrive(char letter) {
  const fs::path drive = drives_ / (std::string(1, static_cast<char>(std::tolower(letter))) + ":");
  fs::create_directories(drive);
  return drive;
}

fs::path SimulatedMachine::HostPath(std::string_view windowsPath) const {
  // Only absolute "X:\..." texts: the tests always name where a file lies.
  std::string rest(windowsPath.substr(2));
  for (char& c : rest) {
    if (c == '\\') c = '/';
  }
  const std::string drive(1, static_cast<char>(std::tolower(windowsPath[0])));
  return fs::path(drives_.string() + "/" + drive + ":" + rest);
}

void SimulatedMachine::MakeFile(std::string_view windowsPath, std::string_view contents) const {
  const fs::path path = HostPath(windowsPath);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

void SimulatedMachine::MakeDirectory(std::string_view windowsPath) const {
  fs::create_directories(HostPath(windowsPath));
}

bool SimulatedMachine::Exists(std::string_view windowsPath) const {
  return fs::exists(HostPath(windowsPath));
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

ProgramRun SimulatedMachine::Run(const std::vector<std::string>& arguments,
                                 std::function<void(const std::string&)> onOutput) const {
  MachineLaunch launch;
  launch.drivesFolder = drivesFolder_;
  launch.startDirectory = HostPath(kStartDirectory);
  launch.variables = variables_;
  launch.commandLog = commandLog_;
  launch.arguments = arguments;
  launch.onOutput = std::move(onOutput);
  return LaunchTarsel(launch);
}
