// What the encoding tests show on the testbed's whole machine.
#include "encoding_tests_support.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace encoding {

namespace {

namespace fs = std::filesystem;

struct TestText {
  const char* title;
  const char* label;  ///< what follows "Official " / "UNOFFICIAL " in the labels
  const char* clip;
};

const TestText kTests[8] = {
    {},
    {"DivX encoding test started", "DivX test result", "test.mpg"},
    {"XviD encoding test started", "XviD test result", "test.mpg"},
    {"Windows Media Video 9 encoding test started", "Windows Media Video 9 test result",
     "test.mpg"},
    {"MPEG1/Mainconcept encoding test started", "MPEG1/Mainconcept test result", "test.mpg"},
    {"MPEG2/Mainconcept encoding test started", "MPEG2/Mainconcept test result", "test.avi"},
    {"MPEG2/Canopus encoding test started", "MPEG2/Canopus test result", "test.avi"},
    {"MPEG2/Cinema Craft encoding test started", "MPEG2/Cinema Craft test result", "test.avi"},
};

const std::string kRule(37, '-');

std::string Padded(const std::string& label, size_t width) {
  return label + std::string(width - label.size(), ' ');
}

std::string Number(int number) {
  return "00" + std::to_string(number);
}

}  // namespace

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FatalReport(const std::string& message) {
  return "\nCRITICAL ERROR: " + message +
         "\nCannot continue, test aborted\n\nPress any key to close this window\n";
}

std::string Analysis(const std::string& mpgWord, const std::string& aviWord, bool divxCodec) {
  return kProgramBanner + Reports(mpgWord, aviWord, divxCodec);
}

std::string Reports(const std::string& mpgWord, const std::string& aviWord, bool divxCodec) {
  const std::pair<const char*, std::string> lines[] = {
      {"Operation System", "Windows 2000 or later"},
      {"Logical drive C:", "found"},
      {"Source file for DVD rip tests", mpgWord},
      {"Free space for DVD rip tests", "found"},
      {"Source file for MPEG2 tests", aviWord},
      {"Free space for MPEG2 tests", "found"},
      {"DivX 5.1.1 AdWare", divxCodec ? "found" : "NOT FOUND"},
      {"XviD 1.0 beta 2 (Trennel build)", "found"},
      {"Windows Media 9 VCM", "found"},
      {"Apple QuickTime", "found"},
      {"Mainconcept MPEG Encoder 1.4.0", "found"},
      {"Canopus ProCoder Demo 1.25.15.0", "found"},
      {"Cinema Craft Encoder SP 2.67 Trial", "found"},
      {"nnCron Automation Manager", "found"},
  };
  std::string text = kRule + "\nAnalyzing external software and files\n" + kRule + "\n\n";
  for (const auto& [label, word] : lines) text += Padded(label, 36) + word + "\n";
  text += "\n" + kRule + "\nAnalyzing tests execution possibility\n" + kRule + "\n\n";
  const char* const labels[] = {"DivX  encoding", "XviD  encoding",    "WMV9  encoding",
                                "MPEG1 encoding", "MPEG2/Mainconcept", "MPEG2/Canopus",
                                "MPEG2/CCE SP"};
  for (const char* label : labels) {
    const bool enabled = divxCodec || std::string(label) != "DivX  encoding";
    text += Padded(label, 19) + (enabled ? "enabled" : "DISABLED") + "\n";
  }
  return text + "\n";
}

std::string Announcement(const std::string& announcements) {
  return "Starting test(s) execution: " + announcements + "\n\n";
}

std::string Banner(int number) {
  const std::string title = kTests[number].title;
  const std::string dashes(title.size(), '-');
  return dashes + "\n" + title + "\n" + dashes + "\n";
}

std::string Skipped(int number) {
  return Banner(number) + "Checking test requirements... NOT PASSED, skip test\n\n";
}

std::string UpToRequirements(int number) {
  return Banner(number) + "Checking test requirements... all is OK\n";
}

std::function<void(SimulatedMachine&)> TimerLeaves(std::string log) {
  return [log = std::move(log)](SimulatedMachine& machine) { machine.ScriptTimerReport(log); };
}

std::string UpToMeasurement(int number) {
  return UpToRequirements(number) +
         "Optimizing disk operations... complete\n"
         "Measurement part started... complete\n";
}

std::string Valid(int number) {
  return UpToMeasurement(number) + "Doing test result validation... result are valid\n\n";
}

std::string Unofficial(int number) {
  return UpToMeasurement(number) + "\n";
}

std::string Invalid(int number, const std::vector<std::string>& notes) {
  std::string text = UpToMeasurement(number) +
                     "Doing test result validation... INVALID RESULT\n"
                     "Validation subsystem note:\n";
  for (const std::string& note : notes) text += note + "\n";
  return text + "\n";
}

std::string InDebugMode(int number) {
  return UpToMeasurement(number);
}

std::vector<RecordedCommand> TestCommands(int number, const std::string& work, bool debug,
                                          const std::string& stopsAt) {
  const std::string n = Number(number);
  std::vector<RecordedCommand> commands = {
      {kStart + "\\pack", "/c copy /y pack." + n + " " + work + "\\zentravotemppack.exe > nul"},
      {work, "/c zentravotemppack.exe -y -pvbkwhtdnpo > nul"},
  };
  if (stopsAt == "unpack") return commands;
  if (number == 6) {
    commands.push_back({kStart, "/c copy /y " + work + "\\006.dat \"" + kProCoder +
                                    "\\\\Plugins\\User Presets\\fdst_highest.cpf\" > nul"});
    if (stopsAt == "profile") return commands;
    commands.push_back({kStart, "/c C:\\WINDOWS\\system32\\xcopy.exe \"" + kProCoder +
                                    "\\*.*\" \"c:\\zentravo-kelv-tarsel-testdir\\\" /s /y > nul"});
    if (stopsAt == "xcopy") return commands;
  }
  commands.push_back({kStart, "/c " + work + "\\contig.exe -s -q *.* > nul"});
  commands.push_back({kStart, "/c " + work + "\\sync.exe > nul"});
  commands.push_back({kStart, "/c copy /y " + std::string(kTests[number].clip) + " nul > nul"});
  const std::string timer = "/c " + work + "\\timer.exe ";
  const std::string log = " > " + n + ".log";
  switch (number) {
    case 1:
    case 2:
    case 3:
      commands.push_back(
          {kStart, timer + work + "\\vdubm.exe /s" + work + "\\" + n + ".dat /x" + log});
      break;
    case 4:
    case 5:
      commands.push_back({kStart, timer + "D:\\Program Files\\Mainconcept\\MPEG Encoder\\" +
                                      "\\mcmpgenc.exe " + work + "\\" + n + ".mes" + log});
      break;
    case 6:
      commands.push_back(
          {kStart, "/c " + work + "\\006.exe /start /shutdown D:\\Tarsel\\test.avi"});
      commands.push_back({kStart, timer + "C:\\Program Files\\nnCron\\\\nncron.exe -runfile " +
                                      work + "\\006.nnc" + log});
      break;
    case 7:
      commands.push_back({kStart, timer + "D:\\Program Files\\Cinema Craft\\CCE SP\\" +
                                      "\\cctspt.exe D:\\Tarsel\\test.avi" + log});
      break;
  }
  if (!debug && (number == 3 || number == 6)) commands.push_back(RemoveScratchCommand());
  return commands;
}

std::vector<RecordedCommand> StartUpCommands() {
  return {{kStart, "/c net stop nncron > nul"}, RemoveScratchCommand()};
}

RecordedCommand EditorCommand() {
  return {kStart, "/c C:\\WINDOWS\\system32\\notepad.exe zentravo-kelv-tarsel.log"};
}

RecordedCommand RemoveScratchCommand() {
  return {kStart, "/c rd /s /q c:\\zentravo-kelv-tarsel-testdir > nul"};
}

std::vector<RecordedEvent> TestEvents(int number, const std::string& work) {
  const std::string n = Number(number);
  // Under Wine, Wine's own registry editor serves, and it leaves no event.
  const bool standInRegistry = ChosenLauncher() == Launcher::Native;
  std::vector<RecordedEvent> events;
  if (standInRegistry && (number <= 3 || number == 7)) {
    events.push_back(
        {"regedit", kStart, "/s " + work + (number == 7 ? "\\007.dat" : "\\vdubm.dat")});
  }
  if (number >= 4) events.push_back({"nncron", kStart, "-runfile " + work + "\\" + n + ".nnc"});
  return events;
}

RecordedEvent EditorEvent() {
  return {"notepad", kStart, "zentravo-kelv-tarsel.log"};
}

std::vector<RecordedEvent> DirectStarts(const SimulatedMachine& machine) {
  std::vector<RecordedEvent> direct;
  for (const RecordedEvent& event : machine.RecordedEvents()) {
    if (event.role == "regedit" || event.role == "nncron" || event.role == "notepad") {
      direct.push_back(event);
    }
  }
  return direct;
}

std::string NormalizedMainLog(const SimulatedMachine& machine) {
  const std::string text = ReadAll(machine.HostPath(kStart + "\\zentravo-kelv-tarsel.log"));
  // "DD.MM.YYYY at HH:MM:SS", and "Encoding time: " with digits, a point and three
  // digits up to the line end.
  const std::string timestampShape = "99.99.9999 at 99:99:99";
  const std::string timeLabel = "Encoding time: ";
  const auto fits = [&text](size_t at, const std::string& shape) {
    if (at + shape.size() > text.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
      const char c = text[at + i];
      if (shape[i] == '9' ? !std::isdigit(static_cast<unsigned char>(c)) : c != shape[i]) {
        return false;
      }
    }
    return true;
  };
  std::string normalized;
  for (size_t at = 0; at < text.size();) {
    if (fits(at, timestampShape)) {
      normalized += "<timestamp>";
      at += timestampShape.size();
      continue;
    }
    if (text.compare(at, timeLabel.size(), timeLabel) == 0) {
      size_t end = at + timeLabel.size();
      while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
      const size_t point = end;
      if (point < text.size() && text[point] == '.' && fits(point + 1, "999") &&
          point + 4 < text.size() && text[point + 4] == '\r' && point > at + timeLabel.size()) {
        normalized += timeLabel + "<time>";
        at = point + 4;
        continue;
      }
    }
    normalized += text[at++];
  }
  return normalized;
}

std::string ExpectedMainLog(const std::vector<std::string>& labels) {
  std::string text =
      "Zentravo Kelvaran Project\r\nTarsel v2.0 RC3 logfile\r\nCreated: <timestamp>\r\n\r\n";
  for (const std::string& label : labels) {
    text += label + "\r\nAdded <timestamp>\r\nEncoding time: <time>\r\n\r\n";
  }
  return text;
}

std::string OfficialLabel(int number) {
  return "Official " + std::string(kTests[number].label) + " (validation passed)";
}

std::string UnofficialLabel(int number) {
  return "UNOFFICIAL " + std::string(kTests[number].label);
}

std::vector<std::string> FilesIn(const SimulatedMachine& machine, const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(machine.HostPath(directory), error)) {
    names.push_back(entry.path().filename().string() +
                    (entry.is_directory(error) && !entry.is_symlink(error) ? "\\" : ""));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> CleanStart(std::vector<std::string> more) {
  std::vector<std::string> names = {"pack\\", "test.avi", "test.mpg"};
  names.insert(names.end(), more.begin(), more.end());
  std::sort(names.begin(), names.end());
  return names;
}

bool AwaitEvent(const SimulatedMachine& machine, const std::string& role) {
  return Eventually([&] {
    for (const RecordedEvent& event : machine.RecordedEvents()) {
      if (event.role == role) return true;
    }
    return false;
  });
}

bool AwaitGone(const SimulatedMachine& machine, const std::string& windowsPath) {
  return Eventually([&] { return !machine.Exists(windowsPath); });
}

void KeepChosenScenarios(std::map<std::string, Scenario>& scenarios) {
  if (!UnderI386Emulation()) return;
  const std::string suite = ::testing::UnitTest::GetInstance()->current_test_suite()->name();
  for (auto entry = scenarios.begin(); entry != scenarios.end();) {
    if (!ScenarioChosenForEmulation(suite, entry->first)) {
      entry = scenarios.erase(entry);
    } else {
      ++entry;
    }
  }
}

void RunScenarios(const std::vector<Scenario*>& scenarios) {
  for (Scenario* scenario : scenarios) {
    std::vector<std::string> options = {"--work-seconds", "0", "--timer-share", "99"};
    options.insert(options.end(), scenario->layout.begin(), scenario->layout.end());
    scenario->machine = std::make_unique<SimulatedMachine>(options);
    if (!scenario->machine->layoutError().empty()) continue;
    if (scenario->prepare) scenario->prepare(*scenario->machine);
  }
  // Natively every machine runs at once. Under Wine each run keeps a Wine server and
  // a chain of Windows processes busy, so a few at a time keep the automation's fixed
  // waits from timing out on a small machine.
  const size_t together = ChosenLauncher() == Launcher::Wine ? 3 : scenarios.size();
  std::atomic<size_t> next{0};
  const auto runNext = [&scenarios, &next] {
    for (size_t i = next++; i < scenarios.size(); i = next++) {
      Scenario* scenario = scenarios[i];
      if (!scenario->machine->layoutError().empty()) continue;
      SimulatedMachine& machine = *scenario->machine;
      std::function<void(const std::string&)> onOutput;
      if (scenario->during) {
        onOutput = [scenario, &machine](const std::string& console) {
          scenario->during(machine, console);
        };
      }
      scenario->run = machine.Run(scenario->arguments, onOutput);
    }
  };
  std::vector<std::thread> runs;
  for (size_t i = 0; i < together; ++i) runs.emplace_back(runNext);
  for (std::thread& run : runs) run.join();
}

}  // namespace encoding
