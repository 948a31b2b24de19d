// The stand-ins on a laid-out machine, started the way the program starts them: through
// the platform layer's RunProgram, with the machine's environment and the start
// directory as the current directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "command_text.h"
#include "host_access.h"
#include "machine_layout.h"
#include "pack_format.h"
#include "platform/io_result.h"
#include "platform/posix/held_files_posix.h"
#include "platform/process.h"
#include "platform/raw_file.h"
#include "platform/short_text.h"
#include "platform/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kWork = "C:\\DOCUME~1\\Tester\\LOCALS~1\\Temp";

class MachineTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    options_.folder = (folder() / "machine").string();
    options_.standIn = TARSEL_STANDIN;
    // Small clips and no extra work keep every run short.
    options_.mpgSize = 300000;
    options_.aviSize = 500000;
    options_.workSeconds = 0;
  }

  void TearDown() override {
    // An automation manager that a failed test left waiting is ended with the machine.
    std::ifstream pidFile(options_.folder + "/testbed/nncron.pid");
    int pid = 0;
    if (pidFile >> pid) EndStandInProcess(pid, "nncron");
    for (const auto& [name, value] : environment_.variables) unsetenv(name.c_str());
    TempFolderTest::TearDown();
  }

  // Lays out the machine with the options and enters it.
  void Enter() {
    std::string error;
    ASSERT_TRUE(LayOutMachine(options_, environment_, error)) << error;
    for (const auto& [name, value] : environment_.variables) setenv(name.c_str(), value.c_str(), 1);
    fs::current_path(environment_.startDirectory);
    SetRunMode(RunMode::WaitForExit);
  }

  static int Command(const std::string& text) {
    return RunProgram(ShortText("C:\\WINDOWS\\system32\\cmd.exe"), ShortText(text));
  }

  static std::string Read(const std::string& windowsPath) {
    return ReadBytes(HostPath(windowsPath));
  }

  static int64_t SizeOf(const std::string& windowsPath) {
    struct stat status;
    if (stat(HostPath(windowsPath).c_str(), &status) != 0) return -1;
    return status.st_size;
  }

  static bool Exists(const std::string& windowsPath) { return SizeOf(windowsPath) >= 0; }

  static bool Executable(const std::string& windowsPath) {
    return access(HostPath(windowsPath).c_str(), X_OK) == 0;
  }

  // Copies pack N into the work directory and runs it there with a password.
  static void Unpack(int number, const std::string& password) {
    const std::string pack = "pack.00" + std::to_string(number);
    ASSERT_TRUE(fs::exists(HostPath("pack\\" + pack)));
    const fs::path start = fs::current_path();
    fs::current_path(HostPath("pack"));
    Command("/c copy /y " + pack + " " + kWork + "\\zentravotemppack.exe > nul");
    fs::current_path(HostPath(kWork));
    Command("/c zentravotemppack.exe -y -p" + password + " > nul");
    fs::current_path(start);
  }

  // How long a wait for what must happen may take: far more than it takes on an idle
  // machine, so that a busy one never fails the test.
  static constexpr int kEventually = 30000;

  // Waits up to `milliseconds` for `done` to hold.
  static bool Await(const std::function<bool()>& done, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  // Waits up to `milliseconds` for the file's presence to become `present`.
  static bool AwaitPresence(const std::string& windowsPath, bool present, int milliseconds) {
    return Await([&] { return Exists(windowsPath) == present; }, milliseconds);
  }

  static void StartNnCron(const std::string& script) {
    SetRunMode(RunMode::NoWait);
    RunProgram(ShortText("C:\\Program Files\\nnCron\\\\nncron.exe"),
               ShortText(std::string("-runfile ") + kWork + "\\" + script));
    SetRunMode(RunMode::WaitForExit);
  }

  // Unpacks MPEG test N's pack and starts its automation script, as the test does.
  static void UnpackAndStartScript(int test) {
    Unpack(test, std::string(kPackPassword));
    StartNnCron("00" + std::to_string(test) + ".nnc");
  }

  // Runs MPEG test N's timed encoding with the Mainconcept encoder, as the test does.
  static void MeasureMainconcept(int test) {
    const std::string w = kWork;
    const std::string n = "00" + std::to_string(test);
    Command("/c " + w +
            "\\timer.exe D:\\Program Files\\Mainconcept\\MPEG Encoder\\\\mcmpgenc.exe " + w + "\\" +
            n + ".mes > " + n + ".log");
  }

  // A process that has ended counts as gone even before its parent reaps it.
  static bool Running(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
  }

  static std::string FirstLineWith(const std::string& text, const char* keyword) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
      if (line.find(keyword) != std::string::npos) return line;
    }
    return std::string();
  }

  MachineOptions options_;
  MachineEnvironment environment_;
};

TEST_F(MachineTest, LaysOutEverythingAtItsReferenceSize) {
  options_.mpgSize = kReferenceMpgSize;
  options_.aviSize = kReferenceAviSize;
  Enter();
  const struct {
    const char* path;
    int64_t size;
  } sized[] = {
      {"D:\\Tarsel\\test.mpg", 34822144},
      {"D:\\Tarsel\\test.avi", 667794940},
      {"C:\\WINDOWS\\system32\\divx.dll", 681984},
      {"C:\\WINDOWS\\system32\\xvid.dll", 216064},
      {"C:\\WINDOWS\\system32\\wmv9vcm.dll", 1415680},
      {"D:\\Program Files\\Mainconcept\\MPEG Encoder\\mcmpgenc.exe", 475136},
      {"C:\\Program Files\\Canopus\\ProCoder\\procoder.exe", 1916928},
      {"D:\\Program Files\\Cinema Craft\\CCE SP\\cctspt.exe", 1884160},
  };
  for (const auto& file : sized) EXPECT_EQ(SizeOf(file.path), file.size) << file.path;
  // The clips are holes, not megabytes of zeros.
  struct stat status;
  ASSERT_EQ(stat(HostPath("test.avi").c_str(), &status), 0);
  EXPECT_LT(status.st_blocks * 512, 1 << 20);

  for (const char* program : {"C:\\WINDOWS\\system32\\cmd.exe", "C:\\WINDOWS\\system32\\xcopy.exe",
                              "C:\\WINDOWS\\system32\\notepad.exe", "C:\\WINDOWS\\regedit.exe",
                              "C:\\Program Files\\nnCron\\nncron.exe",
                              "D:\\Program Files\\Mainconcept\\MPEG Encoder\\mcmpgenc.exe",
                              "C:\\Program Files\\Canopus\\ProCoder\\procoder.exe",
                              "D:\\Program Files\\Cinema Craft\\CCE SP\\cctspt.exe"}) {
    EXPECT_TRUE(Executable(program)) << program;
  }
  EXPECT_TRUE(Exists("C:\\WINDOWS\\system32\\quicktime.cpl"));
  EXPECT_TRUE(fs::is_directory(HostPath("C:\\Program Files\\Canopus\\ProCoder\\Plugins")));
  EXPECT_TRUE(fs::is_directory(HostPath(kWork)));
  for (int number = 1; number <= 7; ++number) {
    EXPECT_TRUE(Executable("pack\\pack.00" + std::to_string(number))) << number;
  }

  const std::string commands = ShellCommandsFor(environment_);
  EXPECT_NE(commands.find("export OS='Windows_NT'\n"), std::string::npos);
  EXPECT_NE(commands.find("export COMSPEC='C:\\WINDOWS\\system32\\cmd.exe'\n"), std::string::npos);
  EXPECT_NE(commands.find("export TEMP='C:\\DOCUME~1\\Tester\\LOCALS~1\\Temp'\n"),
            std::string::npos);
  EXPECT_NE(commands.find("export WINDIR='C:\\WINDOWS'\n"), std::string::npos);
  EXPECT_NE(commands.find("export APPDATA='"), std::string::npos);
  EXPECT_NE(commands.find("export TARSEL_DRIVES='" + options_.folder + "/drives'\n"),
            std::string::npos);
  EXPECT_NE(commands.find("cd '" + options_.folder + "/drives/d:/Tarsel'\n"), std::string::npos);
}

TEST_F(MachineTest, RefusesAFolderInUse) {
  fs::create_directories(options_.folder + "/something");
  std::string error;
  EXPECT_FALSE(LayOutMachine(options_, environment_, error));
  EXPECT_NE(error.find("not empty"), std::string::npos);
}

TEST_F(MachineTest, OtherClipSizesOrNoClipAtAll) {
  options_.mpgSize = 12345;
  options_.aviSize = -1;
  Enter();
  EXPECT_EQ(SizeOf("test.mpg"), 12345);
  EXPECT_FALSE(Exists("test.avi"));
}

TEST_F(MachineTest, PacksUnpackWithTheirPasswordOnly) {
  Enter();
  Unpack(1, "wrongpassword");
  EXPECT_FALSE(Exists(std::string(kWork) + "\\files.dat"));
  EXPECT_FALSE(Exists(std::string(kWork) + "\\timer.exe"));

  Unpack(1, std::string(kPackPassword));
  const std::string list = Read(std::string(kWork) + "\\files.dat");
  ASSERT_FALSE(list.empty());
  // Every entry of the list checks out: exact sizes, presence for 0.
  std::istringstream lines(list);
  std::string sizeLine;
  std::string name;
  int entries = 0;
  while (std::getline(lines, sizeLine) && std::getline(lines, name)) {
    name.erase(name.find_last_not_of('\r') + 1);
    const int64_t size = std::stoll(sizeLine);
    const std::string path = std::string(kWork) + "\\" + name;
    if (size == 0) {
      EXPECT_TRUE(Exists(path)) << name;
    } else {
      EXPECT_EQ(SizeOf(path), size) << name;
    }
    ++entries;
  }
  EXPECT_EQ(entries, 12);
  EXPECT_EQ(list.substr(list.size() - 2), "\r\n");
  EXPECT_NE(list.find("0\r\ncorona.dll\r\n"), std::string::npos);
  for (const char* tool : {"timer.exe", "vdubm.exe", "contig.exe", "sync.exe"}) {
    EXPECT_TRUE(Executable(std::string(kWork) + "\\" + tool)) << tool;
  }
}

TEST_F(MachineTest, PackControlsSealOrListOtherwise) {
  options_.packPasswords[1] = "another";
  options_.packLists[2] = "malformed";
  options_.packLists[3] = "wrong";
  Enter();
  Unpack(1, std::string(kPackPassword));
  EXPECT_FALSE(Exists(std::string(kWork) + "\\files.dat"));
  Unpack(1, "another");
  EXPECT_TRUE(Exists(std::string(kWork) + "\\files.dat"));

  Unpack(2, std::string(kPackPassword));
  std::string list = Read(std::string(kWork) + "\\files.dat");
  const std::string first = list.substr(0, list.find("\r\n"));
  ASSERT_GT(first.size(), 2u);
  EXPECT_EQ(first.substr(first.size() - 2), "KB");
  EXPECT_EQ(TextToNumber(ShortText(first.substr(0, first.size() - 2))).position, 0) << first;

  Unpack(3, std::string(kPackPassword));
  list = Read(std::string(kWork) + "\\files.dat");
  const int64_t listed = std::stoll(list.substr(0, list.find("\r\n")));
  const size_t nameStart = list.find("\r\n") + 2;
  const std::string name = list.substr(nameStart, list.find("\r\n", nameStart) - nameStart);
  EXPECT_EQ(SizeOf(std::string(kWork) + "\\" + name) + 1, listed) << name;
}

TEST_F(MachineTest, InterpreterBuiltInsAndTheCommandLog) {
  Enter();
  fs::create_directories(HostPath("C:\\zentravo-kelv-tarsel-testdir\\deep\\er"));
  std::ofstream(HostPath("C:\\zentravo-kelv-tarsel-testdir\\deep\\er\\f.txt")) << "x";
  EXPECT_EQ(Command("/c rd /s /q C:\\ZENTRAVO-KELV-TARSEL-TESTDIR > nul"), 0);
  EXPECT_FALSE(fs::exists(HostPath("C:\\zentravo-kelv-tarsel-testdir")));

  fs::create_directories(HostPath("C:\\Program Files\\P\\Plugins\\User Presets"));
  Command(std::string("/c copy /y ") + "test.mpg" +
          " \"C:\\Program Files\\P\\\\Plugins\\User Presets\\fdst_highest.cpf\" > nul");
  EXPECT_EQ(SizeOf("C:\\Program Files\\P\\Plugins\\User Presets\\fdst_highest.cpf"), 300000);
  Command("/c copy /y test.mpg \"C:\\Program Files\\P\" > nul");
  EXPECT_EQ(SizeOf("C:\\Program Files\\P\\test.mpg"), 300000);

  Command("/c copy /y test.mpg nul > copied.txt");
  EXPECT_EQ(Read("copied.txt"), "        1 file(s) copied.\n");
  Command("/c copy /y missing.mpg nul >> copied.txt");
  EXPECT_NE(Read("copied.txt").find("0 file(s) copied."), std::string::npos);
  Command("/c echo one > EchoLog.txt");
  Command("/c echo two >> echolog.txt");
  EXPECT_EQ(Read("echolog.txt"), "one\ntwo\n");

  // A copy keeps the execute bit, so that the copied pack can run.
  fs::current_path(HostPath("pack"));
  Command(std::string("/c copy /y pack.004 ") + kWork + "\\zentravotemppack.exe > nul");
  fs::current_path(environment_.startDirectory);
  EXPECT_TRUE(Executable(std::string(kWork) + "\\zentravotemppack.exe"));

  const std::string log = ReadBytes(options_.folder + "/testbed/commands.log");
  EXPECT_NE(log.find("D:\\Tarsel\t/c rd /s /q C:\\ZENTRAVO-KELV-TARSEL-TESTDIR > nul\n"),
            std::string::npos);
  EXPECT_NE(log.find("D:\\Tarsel\\pack\t/c copy /y pack.004 "), std::string::npos);
}

TEST_F(MachineTest, NetStopEndsARunningAutomationManager) {
  Enter();
  std::ofstream(HostPath(std::string(kWork) + "\\long.nnc")) << "marker create\r\npause 60000\r\n";
  StartNnCron("long.nnc");
  ASSERT_TRUE(AwaitPresence("nncron.out", true, kEventually));
  // The marker comes first, its whole process id line right after it.
  const std::string pidFile = options_.folder + "/testbed/nncron.pid";
  std::string pidLine;
  ASSERT_TRUE(
      Await([&] { return !(pidLine = ReadBytes(pidFile)).empty() && pidLine.back() == '\n'; },
            kEventually));
  const int pid = std::atoi(pidLine.c_str());
  Command("/c net stop nncron > stopped.txt");
  EXPECT_NE(Read("stopped.txt").find("stopped successfully"), std::string::npos);
  // It was ended at once: the marker stays, as after a crash.
  EXPECT_TRUE(Await([&] { return !Running(pid); }, kEventually));
  EXPECT_TRUE(Exists("nncron.out"));
  Command("/c net stop nncron > stopped.txt");
  EXPECT_NE(Read("stopped.txt").find("is not started"), std::string::npos);
}

TEST_F(MachineTest, TimerMeasuresTheEncoderAndReportsTheShapes) {
  options_.workSeconds = 0.3;
  Enter();
  Unpack(1, std::string(kPackPassword));
  const std::string w = kWork;
  Command("/c " + w + "\\timer.exe " + w + "\\vdubm.exe /s" + w + "\\001.dat /x > 001.log");
  const std::string log = Read("001.log");
  const std::string global = FirstLineWith(log, "Global");
  const std::string process = FirstLineWith(log, "Process");
  ASSERT_FALSE(global.empty()) << log;
  ASSERT_EQ(process.back(), '%') << log;
  double wall = 0;
  double cpu = 0;
  int share = -1;
  ASSERT_EQ(std::sscanf(global.c_str(), "Global Time = %lf = 100%%", &wall), 1) << global;
  ASSERT_EQ(std::sscanf(process.c_str(), "Process Time = %lf = %d%%", &cpu, &share), 2) << process;
  // Real work was measured: about the asked 0.3 s of CPU, never more than the wall time
  // allows for one busy processor.
  EXPECT_GT(cpu, 0.05);
  EXPECT_LE(cpu, wall * 1.05 + 0.01);
  EXPECT_EQ(SizeOf("001.avi"), 21327872);
  EXPECT_EQ(SizeOf("001.001"), 1536);
  EXPECT_EQ(SizeOf("001.002"), 1536);
  EXPECT_EQ(SizeOf("001.tmp"), 262144);
}

TEST_F(MachineTest, TimerReportsTheShareAndTimeItIsGiven) {
  options_.timerShare = 42;
  options_.timerSeconds = 12.5;
  Enter();
  Unpack(2, std::string(kPackPassword));
  const std::string w = kWork;
  Command("/c " + w + "\\timer.exe " + w + "\\vdubm.exe /s" + w + "\\002.dat /x > 002.log");
  const std::string log = Read("002.log");
  EXPECT_EQ(FirstLineWith(log, "Process"), "Process Time =     5.250 =   42%") << log;
  EXPECT_EQ(FirstLineWith(log, "Global"), "Global Time  =    12.500 =  100%") << log;
  EXPECT_EQ(SizeOf("002.avi"), 21512192);
}

TEST_F(MachineTest, EncoderOutputControls) {
  options_.outputSizes["001.avi"] = 21327872 + 1001;
  options_.skippedOutputs.insert("001.tmp");
  options_.heldOutputs["001.001"] = 1500;
  Enter();
  InstallLeaseBreakHandler();
  Unpack(1, std::string(kPackPassword));
  const std::string w = kWork;
  Command("/c " + w + "\\timer.exe " + w + "\\vdubm.exe /s" + w + "\\001.dat /x > 001.log");
  EXPECT_EQ(SizeOf("001.avi"), 21327872 + 1001);
  EXPECT_FALSE(Exists("001.tmp"));
  // The held log cannot be opened exclusively until its holder lets go.
  RawFile file;
  OpenForReading(file, ShortText("001.001"));
  EXPECT_NE(TakeIoResult(), 0);
  OpenForReading(file, ShortText("001.002"));
  EXPECT_EQ(TakeIoResult(), 0);
  CloseFile(file);
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  OpenForReading(file, ShortText("001.001"));
  EXPECT_EQ(TakeIoResult(), 0);
  CloseFile(file);
  // The test log itself was never held.
  OpenForReading(file, ShortText("001.log"));
  EXPECT_EQ(TakeIoResult(), 0);
  CloseFile(file);
}

TEST_F(MachineTest, AutomationBesideTheEncoderKeepsTheMarkerWhileItWorks) {
  Enter();
  Unpack(4, std::string(kPackPassword));
  EXPECT_FALSE(Exists("nncron.out"));
  StartNnCron("004.nnc");
  ASSERT_TRUE(AwaitPresence("nncron.out", true, kEventually));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(Exists("nncron.out")) << "removed before the encoder ran";
  const std::string w = kWork;
  MeasureMainconcept(4);
  EXPECT_EQ(SizeOf("004.mpg"), 21428228);
  EXPECT_FALSE(Exists("temp.mpg"));
  // The script took its marker away before the encoder could end.
  EXPECT_FALSE(Exists("nncron.out"));
  EXPECT_TRUE(AwaitPresence(w + "\\004.done", false, kEventually));
  EXPECT_FALSE(FirstLineWith(Read("004.log"), "Global").empty());
}

TEST_F(MachineTest, ScriptThatNeverCreatesTheMarker) {
  options_.markerNeverCreated.insert(4);
  Enter();
  const std::string w = kWork;
  UnpackAndStartScript(4);
  EXPECT_FALSE(AwaitPresence("nncron.out", true, 1500));
  MeasureMainconcept(4);
  EXPECT_EQ(SizeOf("004.mpg"), 21428228);
  EXPECT_TRUE(AwaitPresence(w + "\\004.done", false, kEventually));
}

TEST_F(MachineTest, ScriptThatNeverRemovesTheMarker) {
  options_.markerNeverRemoved.insert(5);
  Enter();
  const std::string w = kWork;
  UnpackAndStartScript(5);
  ASSERT_TRUE(AwaitPresence("nncron.out", true, kEventually));
  MeasureMainconcept(5);
  EXPECT_EQ(SizeOf("005.mpg"), 133482496);
  // The script has finished (its signal was consumed) and still the marker stays.
  EXPECT_TRUE(AwaitPresence(w + "\\005.done", false, kEventually));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(Exists("nncron.out"));
}

TEST_F(MachineTest, CanopusChainWritesIntoTheScratchDirectory) {
  Enter();
  const std::string w = kWork;
  const std::string p = "C:\\Program Files\\Canopus\\ProCoder\\";
  Unpack(6, std::string(kPackPassword));
  fs::create_directories(HostPath(p + "\\Plugins\\User Presets"));
  Command("/c copy /y " + w + "\\006.dat \"" + p +
          "\\Plugins\\User Presets\\fdst_highest.cpf\" > nul");
  Command("/c C:\\WINDOWS\\system32\\xcopy.exe \"" + p +
          "*.*\" \"c:\\zentravo-kelv-tarsel-testdir\\\" /s /y > nul");
  EXPECT_TRUE(Executable("c:\\zentravo-kelv-tarsel-testdir\\procoder.exe"));
  EXPECT_TRUE(Exists("c:\\zentravo-kelv-tarsel-testdir\\Plugins\\Filters\\deint.flt"));
  Command("/c " + w + "\\006.exe /start /shutdown D:\\Tarsel\\test.avi");
  Command("/c " + w + "\\timer.exe C:\\Program Files\\nnCron\\\\nncron.exe -runfile " + w +
          "\\006.nnc > 006.log");
  EXPECT_EQ(SizeOf("c:\\zentravo-kelv-tarsel-testdir\\006.m2p"), 139083780);
  EXPECT_FALSE(Exists("nncron.out"));
  EXPECT_FALSE(FirstLineWith(Read("006.log"), "Global").empty());
}

TEST_F(MachineTest, XcopyControlCopiesNothing) {
  options_.xcopyFails = true;
  Enter();
  Command(
      "/c C:\\WINDOWS\\system32\\xcopy.exe \"C:\\Program Files\\Canopus\\ProCoder\\*.*\" "
      "\"c:\\zentravo-kelv-tarsel-testdir\\\" /s /y > nul");
  EXPECT_FALSE(fs::exists(HostPath("c:\\zentravo-kelv-tarsel-testdir")));
}

TEST_F(MachineTest, CinemaCraftTakesItsSettingsFromTheImportedRegistry) {
  options_.heldOutputs["test.mpv"] = 1000;
  Enter();
  InstallLeaseBreakHandler();
  const std::string w = kWork;
  const std::string cce =
      "D:\\Program Files\\Cinema Craft\\CCE SP\\\\cctspt.exe D:\\Tarsel\\test.avi";
  Unpack(7, std::string(kPackPassword));
  // Without the imported settings the encoder has nothing to do.
  Command("/c " + w + "\\timer.exe " + cce + " > 007.log");
  EXPECT_FALSE(Exists("test.mpv"));

  RunProgram(ShortText("C:\\WINDOWS\\regedit.exe"), ShortText("/s " + w + "\\007.dat"));
  StartNnCron("007.nnc");
  ASSERT_TRUE(AwaitPresence("nncron.out", true, kEventually));
  Command("/c " + w + "\\timer.exe " + cce + " > 007.log");
  EXPECT_EQ(SizeOf("test.mpv"), 130736572);
  EXPECT_EQ(SizeOf("test.vaf"), 65536);
  RawFile file;
  OpenForReading(file, ShortText("test.mpv"));
  EXPECT_NE(TakeIoResult(), 0);
  EXPECT_TRUE(AwaitPresence("nncron.out", false, kEventually));
}

TEST_F(MachineTest, EditorAndEveryStandInLeaveAnEvent) {
  Enter();
  Command("/c C:\\WINDOWS\\system32\\notepad.exe zentravo-kelv-tarsel.log");
  const std::string events = ReadBytes(options_.folder + "/testbed/events.log");
  EXPECT_NE(events.find("notepad\tD:\\Tarsel\tzentravo-kelv-tarsel.log\n"), std::string::npos)
      << events;
}

}  // namespace
