// tarsel-testbed: lays out a simulated Windows machine, or builds one test pack.
//
//   tarsel-testbed layout FOLDER [options]   prints the shell commands that enter it
//   tarsel-testbed pack FOLDER PACK [--password TEXT] [--presence NAME]... [--stand-in PATH]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "machine_layout.h"
#include "pack_builder.h"
#include "pack_format.h"
#include "script_files.h"

namespace {

constexpr const char* kUsage =
    "usage: tarsel-testbed layout FOLDER [options]\n"
    "       tarsel-testbed pack FOLDER PACK [--password TEXT] [--presence NAME]... [--stand-in "
    "PATH]\n"
    "\n"
    "layout options:\n"
    "  --stand-in PATH        the stand-in executable (default: tarsel-standin beside this tool)\n"
    "  --program PATH         copy the program into the start directory\n"
    "  --mpg-size N|none      size of test.mpg (default the reference size)\n"
    "  --avi-size N|none      size of test.avi (default the reference size)\n"
    "  --temp WINPATH         the work directory (TEMP)\n"
    "  --work-seconds S       CPU seconds of every encoding (default 1)\n"
    "  --output NAME=SIZE     an encoder writes this output at another size\n"
    "  --skip-output NAME     an encoder never writes this output\n"
    "  --hold NAME=MS         an encoder's output stays held open this long after it ends\n"
    "  --timer-share N        the timing tool reports this process share\n"
    "  --timer-seconds S      the timing tool reports this wall time\n"
    "  --timer-clock N        the processor clock is N % of nominal while the timing tool\n"
    "                         measures (POSIX machines; steady at nominal otherwise)\n"
    "  --marker-never-created T   the automation script of test T (4 to 7) never creates "
    "nncron.out\n"
    "  --marker-never-removed T   ... never removes it\n"
    "  --xcopy-fails          xcopy copies nothing\n"
    "  --competitor NAME      the timing tool runs a busy program of this name (at most 15\n"
    "                         characters) beside the measured one, on every processor\n"
    "  --script-job NAME      the same busy program, left to the caller's script to start\n"
    "  --pack-password N=TEXT pack N is sealed with another password\n"
    "  --pack-list N=wrong|malformed   pack N carries a wrong or malformed files.dat\n"
    "  --wine                 a machine for the Windows build under Wine (give --stand-in the\n"
    "                         Windows stand-in); drive C: is a new Wine prefix's drive_c\n"
    "  --wine-template DIR    copy this Wine prefix instead of making one (faster)\n"
    "  --wine-loader PATH     the Wine loader (default /usr/lib/wine/wine64 or wine64; a\n"
    "                         32-bit prefix needs the 32-bit one, /usr/lib/wine/wine)\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

bool ReadNumber(const std::string& text, int64_t& value) {
  return ReadWholeNumber(text, value);
}

// Splits "NAME=VALUE".
bool Pair(const std::string& text, std::string& name, std::string& value) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  name = text.substr(0, equals);
  value = text.substr(equals + 1);
  return true;
}

std::string DefaultStandIn() {
  std::error_code failure;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
  if (failure) return "tarsel-standin";
  return (self.parent_path() / "tarsel-standin").string();
}

int Layout(const std::vector<std::string>& args) {
  if (args.empty()) return Usage();
  MachineOptions options;
  options.folder = std::filesystem::absolute(args[0]).string();
  options.standIn = DefaultStandIn();
  if (std::filesystem::exists("/usr/lib/wine/wine64")) options.wineLoader = "/usr/lib/wine/wine64";
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--xcopy-fails" || option == "--wine") {
      (option == "--wine" ? options.wine : options.xcopyFails) = true;
      continue;
    }
    if (i + 1 >= args.size()) return Usage();
    const std::string& value = args[++i];
    std::string name;
    std::string text;
    int64_t number = 0;
    if (option == "--stand-in") {
      options.standIn = value;
    } else if (option == "--wine-template") {
      options.wineTemplate = value;
    } else if (option == "--wine-loader") {
      options.wineLoader = value;
    } else if (option == "--program") {
      options.program = value;
    } else if (option == "--mpg-size" || option == "--avi-size") {
      if (value == "none") {
        number = -1;
      } else if (!ReadNumber(value, number) || number < 0) {
        return Usage();
      }
      (option == "--mpg-size" ? options.mpgSize : options.aviSize) = number;
    } else if (option == "--temp") {
      options.tempDirectory = value;
    } else if (option == "--work-seconds" || option == "--timer-seconds") {
      double& seconds = option == "--work-seconds" ? options.workSeconds : options.timerSeconds;
      char* end = nullptr;
      seconds = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || *end != '\0' || seconds < 0) return Usage();
    } else if (option == "--output" && Pair(value, name, text) && ReadNumber(text, number)) {
      options.outputSizes[name] = number;
    } else if (option == "--skip-output") {
      options.skippedOutputs.insert(value);
    } else if (option == "--hold" && Pair(value, name, text) && ReadNumber(text, number)) {
      options.heldOutputs[name] = static_cast<int>(number);
    } else if ((option == "--competitor" || option == "--script-job") && !value.empty() &&
               value.size() <= 15 && value.find_first_of("/\\\\:. ") == std::string::npos) {
      options.competitor = value;
      options.competitorByScript = option == "--script-job";
    } else if (option == "--timer-clock" && ReadNumber(value, number) && number > 0 &&
               number <= 100) {
      options.timerClockPercent = static_cast<int>(number);
    } else if (option == "--timer-share" && ReadNumber(value, number)) {
      options.timerShare = static_cast<int>(number);
    } else if (option == "--marker-never-created" && ReadNumber(value, number)) {
      options.markerNeverCreated.insert(static_cast<int>(number));
    } else if (option == "--marker-never-removed" && ReadNumber(value, number)) {
      options.markerNeverRemoved.insert(static_cast<int>(number));
    } else if (option == "--pack-password" && Pair(value, name, text) && ReadNumber(name, number)) {
      options.packPasswords[static_cast<int>(number)] = text;
    } else if (option == "--pack-list" && Pair(value, name, text) && ReadNumber(name, number) &&
               (text == "wrong" || text == "malformed")) {
      options.packLists[static_cast<int>(number)] = text;
    } else {
      return Usage();
    }
  }
  MachineEnvironment environment;
  std::string error;
  if (!LayOutMachine(options, environment, error)) {
    std::fprintf(stderr, "tarsel-testbed: %s\n", error.c_str());
    return 1;
  }
  std::fputs(ShellCommandsFor(environment).c_str(), stdout);
  return 0;
}

int Pack(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage();
  std::string password(kPackPassword);
  std::string standIn = DefaultStandIn();
  std::set<std::string> presenceOnly;
  for (size_t i = 2; i < args.size(); ++i) {
    if (i + 1 >= args.size()) return Usage();
    const std::string& option = args[i];
    const std::string& value = args[++i];
    if (option == "--password") {
      password = value;
    } else if (option == "--presence") {
      presenceOnly.insert(value);
    } else if (option == "--stand-in") {
      standIn = value;
    } else {
      return Usage();
    }
  }
  std::string error;
  if (!BuildPackFromFolder(args[0], standIn, args[1], password, presenceOnly, error)) {
    std::fprintf(stderr, "tarsel-testbed: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "layout") return Layout(args);
  if (command == "pack") return Pack(args);
  return Usage();
}
