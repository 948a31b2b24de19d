// The layout of a simulated Windows machine: host tool, built on std::filesystem.
#include "machine_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "encoders.h"
#include "fake_clock.h"
#include "pack_builder.h"
#include "pack_format.h"
#include "platform/short_text.h"
#include "script_files.h"
#include "standin_files.h"

namespace fs = std::filesystem;

namespace {

// What one round of encoder work costs per byte of clip on a current processor; the
// time asked for is a target, not a promise.
constexpr double kSecondsPerByteRound = 0.25e-9;

// Reference sizes of the installed programs and codecs.
constexpr int64_t kMainconceptSize = 475136;
constexpr int64_t kProCoderSize = 1916928;
constexpr int64_t kCinemaCraftSize = 1884160;
constexpr int64_t kDivxCodecSize = 681984;
constexpr int64_t kXvidCodecSize = 216064;
constexpr int64_t kWmv9CodecSize = 1415680;

// Reference sizes of the encoders' outputs.
constexpr int64_t kDivxOutput = 21327872;
constexpr int64_t kXvidOutput = 21512192;
constexpr int64_t kWmv9Output = 21843968;
constexpr int64_t kMpeg1Output = 21428228;
constexpr int64_t kMpeg2MainconceptOutput = 133482496;
constexpr int64_t kMpeg2CanopusOutput = 139083780;
constexpr int64_t kMpeg2CceOutput = 130736572;

constexpr const char* kScratchDirectory = "C:\\zentravo-kelv-tarsel-testdir";

// Lays out files and folders, remembering the first failure.
class Builder {
 public:
  Builder(const MachineOptions& options, std::string& error) : options_(options), error_(error) {}

  bool ok() const { return error_.empty(); }

  // The host path of a Windows path inside the machine ("C:\a\b" is drives/c:/a/b, or
  // the Wine prefix's drive_c/a/b).
  std::string Host(const std::string& windowsPath) const {
    std::string rest = windowsPath.substr(2);
    std::replace(rest.begin(), rest.end(), '\\', '/');
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
    if (options_.wine && letter == 'c') {
      return (fs::path(options_.folder) / "prefix" / "drive_c").string() + rest;
    }
    return (fs::path(options_.folder) / "drives" / (std::string(1, letter) + ":")).string() + rest;
  }

  void Directory(const std::string& host) {
    std::error_code failure;
    fs::create_directories(host, failure);
    if (failure) Fail("cannot create " + host + ": " + failure.message());
  }

  void File(const std::string& host, const std::string& contents) {
    Directory(fs::path(host).parent_path().string());
    if (ok() && !WriteHostFile(host, contents)) Fail("cannot write " + host);
  }

  // A file of `size` bytes: `head`, then zero bytes as a hole.
  void SizedFile(const std::string& host, int64_t size, const std::string& head) {
    Directory(fs::path(host).parent_path().string());
    if (ok() && !WriteSparseHostFile(host, size, head)) Fail("cannot write " + host);
  }

  // A copy of the stand-in, executable, padded with zero bytes to `size` when given.
  void StandIn(const std::string& host, int64_t size = 0) {
    Directory(fs::path(host).parent_path().string());
    if (!ok()) return;
    std::error_code failure;
    // Removed first, not overwritten: under Wine the file may be a hard link into the
    // template prefix, which must stay as it is.
    fs::remove(host, failure);
    fs::copy_file(options_.standIn, host, fs::copy_options::overwrite_existing, failure);
    if (failure) return Fail("cannot copy the stand-in to " + host + ": " + failure.message());
    fs::permissions(host,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    failure);
    if (size <= 0) return;
    const auto actual = static_cast<int64_t>(fs::file_size(host, failure));
    if (failure || actual > size) {
      return Fail("the stand-in (" + std::to_string(actual) + " bytes) is larger than " + host +
                  " must be (" + std::to_string(size) + " bytes)");
    }
    fs::resize_file(host, static_cast<uintmax_t>(size), failure);
    if (failure) Fail("cannot pad " + host + ": " + failure.message());
  }

  void Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
  }

 private:
  const MachineOptions& options_;
  std::string& error_;
};

// An output of a job, with the size, skip and hold controls applied; false when skipped.
bool ControlledOutput(const MachineOptions& options, const std::string& name, int64_t size,
                      EncoderOutput& output) {
  for (const std::string& skipped : options.skippedOutputs) {
    if (SameIgnoringCase(skipped, name)) return false;
  }
  output = EncoderOutput{name, size, 0};
  for (const auto& [overridden, newSize] : options.outputSizes) {
    if (SameIgnoringCase(overridden, name)) output.size = newSize;
  }
  for (const auto& [held, milliseconds] : options.heldOutputs) {
    if (SameIgnoringCase(held, name)) output.holdMilliseconds = milliseconds;
  }
  return true;
}

EncoderJob MakeJob(const MachineOptions& options, const std::string& source, int64_t clipBytes,
                   int passes, const std::vector<std::pair<std::string, int64_t>>& outputs) {
  EncoderJob job;
  job.source = source;
  job.passes = passes;
  job.rounds = WorkRoundsFor(options.workSeconds, clipBytes, passes);
  for (const auto& [name, size] : outputs) {
    EncoderOutput output;
    if (ControlledOutput(options, name, size, output)) job.outputs.push_back(output);
  }
  return job;
}

std::string AutomationScript(const MachineOptions& options, int test, const std::string& body) {
  std::string script = "; nnCron automation script of test " + std::to_string(test) + "\r\n";
  if (options.markerNeverCreated.count(test) == 0) script += "marker create\r\n";
  script += body;
  if (options.markerNeverRemoved.count(test) == 0) script += "marker remove\r\n";
  return script;
}

std::string Hex8(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// Applies a file-list control to a list made by the pack builder's rules.
std::string ControlledList(const std::string& list, const std::string& control) {
  const size_t lineEnd = list.find("\r\n");
  if (lineEnd == std::string::npos) return list;
  const std::string firstSize = list.substr(0, lineEnd);
  if (control == "malformed") return firstSize + "KB" + list.substr(lineEnd);
  // "wrong": the first entry's size is one byte off.
  return std::to_string(std::stoll(firstSize) + 1) + list.substr(lineEnd);
}

void LayOutPacks(Builder& build, const MachineOptions& options, int64_t mpgBytes,
                 int64_t aviBytes) {
  const std::string sources = (fs::path(options.folder) / "pack-sources").string();
  const std::set<std::string> presenceOnly = {"corona.dll",   "ogg.dll",      "vorbis.dll",
                                              "vdicmdrv.dll", "vdremote.dll", "vdsvrlnk.dll"};
  const std::string& temp = options.tempDirectory;
  for (int test = 1; test <= 7; ++test) {
    const std::string number = "00" + std::to_string(test);
    const std::string folder = sources + "/pack." + number;
    const auto file = [&](const std::string& name, const std::string& contents) {
      build.File(folder + "/" + name, contents);
    };
    build.StandIn(folder + "/timer.exe");
    build.StandIn(folder + "/contig.exe");
    build.StandIn(folder + "/sync.exe");
    if (test <= 3) {
      build.StandIn(folder + "/vdubm.exe");
      file("vdubm.dat",
           "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\VirtualDubMod\\Preferences]\r\n"
           "\"Priority\"=dword:00000003\r\n\"ShowStatus\"=dword:00000000\r\n");
      for (const std::string& library : presenceOnly) file(library, "MZ library stub\r\n");
      std::vector<std::pair<std::string, int64_t>> outputs;
      if (test == 1) {
        outputs = {
            {"001.001", 1536}, {"001.002", 1536}, {"001.tmp", 262144}, {"001.avi", kDivxOutput}};
      } else if (test == 2) {
        outputs = {{"002.001", 1536}, {"002.tmp", 262144}, {"002.avi", kXvidOutput}};
      } else {
        outputs = {{std::string(kScratchDirectory) + "\\003.tmp", 1536},
                   {"003.tmp", 262144},
                   {"003.avi", kWmv9Output}};
      }
      file(number + ".dat", WriteEncoderJob(MakeJob(options, "test.mpg", mpgBytes, 2, outputs)));
    } else if (test == 4 || test == 5) {
      EncoderJob job =
          test == 4
              ? MakeJob(options, "test.mpg", mpgBytes, 1, {{"004.mpg", kMpeg1Output}})
              : MakeJob(options, "test.avi", aviBytes, 1, {{"005.mpg", kMpeg2MainconceptOutput}});
      if (test == 4) {
        job.tempName = "temp.mpg";
        job.tempSize = 1048576;
      }
      job.signal = number + ".done";
      file(number + ".mes", WriteEncoderJob(job));
      file(number + ".nnc",
           AutomationScript(options, test, "wait-file " + number + ".done 600000\r\n"));
    } else if (test == 6) {
      // The ProCoder profile: the preset is read beside the program, outputs go there.
      file("006.dat",
           WriteEncoderJob(MakeJob(options, "", aviBytes, 1, {{"006.m2p", kMpeg2CanopusOutput}})));
      build.StandIn(folder + "/006.exe");
      file("006.nnc", AutomationScript(options, test,
                                       "run " + std::string(kScratchDirectory) +
                                           "\\procoder.exe /preset fdst_highest test.avi\r\n"));
    } else {
      const EncoderJob job =
          MakeJob(options, "", aviBytes, 2, {{"test.vaf", 65536}, {"test.mpv", kMpeg2CceOutput}});
      std::string settings = "REGEDIT4\r\n\r\n[" + std::string(kCinemaCraftKey) + "]\r\n";
      settings += "\"Passes\"=dword:" + Hex8(static_cast<uint32_t>(job.passes)) + "\r\n";
      settings += "\"Rounds\"=dword:" + Hex8(static_cast<uint32_t>(job.rounds)) + "\r\n";
      for (const EncoderOutput& output : job.outputs) {
        const std::string name = output.name == "test.vaf" ? "VafSize" : "MpvSize";
        settings += "\"" + name + "\"=dword:" + Hex8(static_cast<uint32_t>(output.size)) + "\r\n";
        if (name == "MpvSize" && output.holdMilliseconds > 0) {
          settings +=
              "\"HoldMpv\"=dword:" + Hex8(static_cast<uint32_t>(output.holdMilliseconds)) + "\r\n";
        }
      }
      std::string doneFile = temp + "\\007.done";
      settings += "\"DoneFile\"=\"";
      for (const char c : doneFile) settings += c == '\\' ? std::string("\\\\") : std::string(1, c);
      settings += "\"\r\n";
      file("007.dat", settings);
      file("007.nnc", AutomationScript(options, test, "wait-file 007.done 600000\r\n"));
    }
    if (!build.ok()) return;

    // A file-list control packs a list of its own in place of the builder's.
    const auto listControl = options.packLists.find(test);
    if (listControl != options.packLists.end()) {
      std::string error;
      const std::string scratch = folder + ".plain";
      if (!BuildPackFromFolder(folder, options.standIn, scratch, kPackPassword, presenceOnly,
                               error)) {
        return build.Fail(error);
      }
      std::string packed;
      std::vector<PackEntry> entries;
      ReadHostFile(scratch, packed);
      OpenPack(packed, kPackPassword, entries);
      std::error_code ignored;
      fs::remove(scratch, ignored);
      for (const PackEntry& entry : entries) {
        if (entry.name == "files.dat")
          file("files.dat", ControlledList(entry.data, listControl->second));
      }
    }
    const auto password = options.packPasswords.find(test);
    std::string error;
    if (!BuildPackFromFolder(
            folder, options.standIn,
            build.Host(std::string(kStartDirectory) + "\\pack\\pack." + number),
            password == options.packPasswords.end() ? std::string(kPackPassword) : password->second,
            presenceOnly, error)) {
      return build.Fail(error);
    }
  }
}

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A copy of a Wine prefix. Wine's Windows directory (most of a prefix, some 700 MB) is
// hard-linked where the file system allows: Wine only reads its system files, and
// whatever it or a test writes there is a new file. Everything else is copied, the
// registry above all, which Wine rewrites in place.
void CopyWinePrefix(Builder& build, const fs::path& from, const fs::path& to) {
  std::error_code failure;
  fs::create_directories(to, failure);
  for (const fs::directory_entry& entry : fs::directory_iterator(from, failure)) {
    const fs::path target = to / entry.path().filename();
    if (entry.path().filename() == "drive_c") {
      fs::create_directories(target, failure);
      for (const fs::directory_entry& item : fs::directory_iterator(entry.path(), failure)) {
        const bool system = item.path().filename() == "windows";
        const fs::path copy = target / item.path().filename();
        std::error_code linking;
        if (system) {
          fs::copy(item.path(), copy,
                   fs::copy_options::recursive | fs::copy_options::copy_symlinks |
                       fs::copy_options::create_hard_links,
                   linking);
        }
        if (!system || linking) {
          if (linking) fs::remove_all(copy, linking);
          fs::copy(item.path(), copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                   failure);
        }
        if (failure) break;
      }
    } else {
      fs::copy(entry.path(), target, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
               failure);
    }
    if (failure) break;
  }
  if (failure) build.Fail("cannot copy the Wine prefix: " + failure.message());
}

// A Wine prefix whose only drives are C: (its drive_c) and D: (the machine's).
void MakeWinePrefix(Builder& build, const MachineOptions& options) {
  const fs::path prefix = fs::path(options.folder) / "prefix";
  std::error_code failure;
  if (!options.wineTemplate.empty()) {
    CopyWinePrefix(build, options.wineTemplate, prefix);
    if (!build.ok()) return;
  } else {
    const std::string wineserver =
        (fs::path(options.wineLoader).parent_path() / "wineserver").string();
    const std::string command =
        "WINEPREFIX=" + Quoted(prefix.string()) + " WINEDEBUG=-all " + Quoted(options.wineLoader) +
        " wineboot --init >/dev/null 2>&1 && WINEPREFIX=" + Quoted(prefix.string()) + " " +
        (fs::exists(wineserver) ? Quoted(wineserver) : std::string("wineserver")) + " -w";
    if (std::system(command.c_str()) != 0 || !fs::is_directory(prefix / "drive_c")) {
      return build.Fail("cannot make a Wine prefix with " + options.wineLoader);
    }
  }
  // Every other drive goes, "z:" (the whole host) above all, or the drive search would
  // walk it.
  const fs::path devices = prefix / "dosdevices";
  for (const fs::directory_entry& entry : fs::directory_iterator(devices, failure)) {
    if (entry.path().filename() != "c:") fs::remove(entry.path(), failure);
  }
  fs::create_directory_symlink(fs::path(options.folder) / "drives" / "d:", devices / "d:", failure);
  if (failure) build.Fail("cannot map drive D: in the Wine prefix: " + failure.message());
}

/// The made-up system root of a POSIX machine: the host's /proc, and a sysfs in which
/// each of the host's processors has the nominal clock and runs at it.
void LayOutSystemRoot(Builder& build, const std::string& root) {
  build.Directory(root);
  std::error_code failure;
  fs::create_directory_symlink("/proc", fs::path(root) / "proc", failure);
  if (failure) return build.Fail("cannot link " + root + "/proc: " + failure.message());
  const std::string nominal = std::to_string(kNominalClockKhz) + "\n";
  for (const int number : HostProcessorNumbers()) {
    const std::string current = CurrentClockFile(root, number);
    build.File((fs::path(current).parent_path() / "base_frequency").string(), nominal);
    build.File(current, nominal);
  }
}

}  // namespace

int WorkRoundsFor(double seconds, int64_t clipBytes, int passes) {
  if (seconds <= 0) return 0;
  const double bytes = static_cast<double>(std::max<int64_t>(clipBytes, 1)) * std::max(passes, 1);
  const double rounds = std::ceil(seconds / (bytes * kSecondsPerByteRound));
  return static_cast<int>(std::min(rounds, 100000000.0));
}

bool LayOutMachine(const MachineOptions& options, MachineEnvironment& environment,
                   std::string& error) {
  error.clear();
  std::error_code failure;
  if (fs::exists(options.folder, failure) && !fs::is_empty(options.folder, failure)) {
    error = options.folder + " is not empty";
    return false;
  }
  Builder build(options, error);
  build.Directory(build.Host("D:\\"));
  if (options.wine) MakeWinePrefix(build, options);
  // Wine keeps its own Windows directory, named in lower case on the host; Windows
  // names are found in any case, so WINDIR stays as Windows XP gives it. The testbed
  // folder then lies on drive C:, where the Windows stand-ins can reach it.
  const std::string windows = options.wine ? "C:\\windows" : kWindowsDirectory;
  const std::string system32 = windows + "\\system32";
  const std::string windowsSystem32 = std::string(kWindowsDirectory) + "\\system32";
  const std::string testbedWindows = "C:\\testbed";
  const std::string testbed =
      options.wine ? build.Host(testbedWindows) : (fs::path(options.folder) / "testbed").string();
  build.Directory(testbed);
  build.Directory(build.Host("C:\\"));
  build.Directory(build.Host(options.tempDirectory));
  build.Directory(build.Host(kAppDataDirectory));

  // The Windows directory: codecs and QuickTime are only looked for; the interpreter,
  // xcopy, the registry editor and the text editor are stand-ins, except that under
  // Wine the system's own interpreter, xcopy and registry editor serve.
  // A prefix that runs 64-bit programs shows a 32-bit one syswow64 where it asks for
  // system32, as 64-bit Windows does (Windows 2000/XP have no such folder): what the
  // program looks for or starts there lies in both, where the prefix has a 32-bit half.
  std::vector<std::string> systemFolders = {system32};
  if (options.wine && fs::exists(build.Host(windows + "\\syswow64\\kernel32.dll"), failure)) {
    systemFolders.push_back(windows + "\\syswow64");
  }
  for (const std::string& folder : systemFolders) {
    build.SizedFile(build.Host(folder + "\\divx.dll"), kDivxCodecSize, "MZ");
    build.SizedFile(build.Host(folder + "\\xvid.dll"), kXvidCodecSize, "MZ");
    build.SizedFile(build.Host(folder + "\\wmv9vcm.dll"), kWmv9CodecSize, "MZ");
    build.SizedFile(build.Host(folder + "\\quicktime.cpl"), 122880, "MZ");
    build.StandIn(build.Host(folder + "\\notepad.exe"));
  }
  if (options.wine) {
    build.StandIn(testbed + "/launch.exe");
    build.StandIn(testbed + "/cmdlog.exe");
  } else {
    build.StandIn(build.Host(system32 + "\\cmd.exe"));
    build.StandIn(build.Host(system32 + "\\xcopy.exe"));
    build.StandIn(build.Host(windows + "\\regedit.exe"));
  }

  // Installed programs, at their reference sizes where the program checks them.
  build.StandIn(build.Host(std::string(kProCoderDirectory) + "\\procoder.exe"), kProCoderSize);
  build.Directory(build.Host(std::string(kProCoderDirectory) + "\\Plugins\\Filters"));
  build.File(build.Host(std::string(kProCoderDirectory) + "\\Plugins\\Filters\\deint.flt"),
             "filter\r\n");
  build.StandIn(build.Host(std::string(kNnCronDirectory) + "\\nncron.exe"));
  build.StandIn(build.Host(std::string(kMainconceptDirectory) + "\\mcmpgenc.exe"),
                kMainconceptSize);
  build.StandIn(build.Host(std::string(kCinemaCraftDirectory) + "\\cctspt.exe"), kCinemaCraftSize);

  // The start directory: clips, packs and, when given, the program.
  const std::string start = kStartDirectory;
  if (options.mpgSize >= 0) build.SizedFile(build.Host(start + "\\test.mpg"), options.mpgSize, "");
  if (options.aviSize >= 0) build.SizedFile(build.Host(start + "\\test.avi"), options.aviSize, "");
  build.Directory(build.Host(start + "\\pack"));
  if (!options.program.empty() && build.ok()) {
    fs::copy_file(options.program, build.Host(start + "\\zentravo-kelv-tarsel.exe"),
                  fs::copy_options::overwrite_existing, failure);
    if (failure) build.Fail("cannot copy the program: " + failure.message());
  }
  const int64_t mpgBytes = options.mpgSize >= 0 ? options.mpgSize : kReferenceMpgSize;
  const int64_t aviBytes = options.aviSize >= 0 ? options.aviSize : kReferenceAviSize;
  if (build.ok()) LayOutPacks(build, options, mpgBytes, aviBytes);

  std::string controls = "; controls of the simulated machine\n";
  if (options.timerShare >= 0)
    controls += "timer.share=" + std::to_string(options.timerShare) + "\n";
  if (options.timerSeconds >= 0) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", options.timerSeconds);
    controls += "timer.seconds=" + std::string(seconds) + "\n";
  }
  if (options.timerClockPercent > 0) {
    controls +=
        std::string(kTimerClockControl) + "=" + std::to_string(options.timerClockPercent) + "\n";
  }
  if (options.xcopyFails) controls += "xcopy.fail=1\n";
  if (!options.competitor.empty()) {
    controls += "competitor=" + options.competitor + "\n";
    if (options.competitorByScript) controls += "competitor.by=script\n";
    build.StandIn(testbed + "/" + options.competitor + (options.wine ? ".exe" : ""));
  }
  // Under Wine the recording interpreter hands every command on to Wine's own.
  if (options.wine) controls += "interpreter=" + windowsSystem32 + "\\cmd.exe\n";
  build.File(testbed + "/controls.ini", controls);

  const std::vector<std::pair<std::string, std::string>> windowsVariables = {
      {"TEMP", options.tempDirectory},
      {"COMSPEC", options.wine ? testbedWindows + "\\cmdlog.exe" : windowsSystem32 + "\\cmd.exe"},
      {"WINDIR", kWindowsDirectory},
      {"OS", "Windows_NT"},
      {"APPDATA", kAppDataDirectory},
  };
  environment = MachineEnvironment();
  if (options.wine) {
    // Wine hands TARSEL_TESTBED through unchanged; the launcher sets the rest.
    std::string settings = "; the environment the launcher gives the program\r\n";
    for (const auto& [name, value] : windowsVariables) settings += name + "=" + value + "\r\n";
    settings += "TARSEL_TESTBED=" + testbedWindows + "\r\n";
    build.File(testbed + "/environment.ini", settings);
    environment.variables = {
        {"WINEPREFIX", (fs::path(options.folder) / "prefix").string()},
        {"WINEDEBUG", "-all"},
        // Wine would otherwise start its own notepad for the stand-in in system32.
        {"WINEDLLOVERRIDES", "notepad.exe=n"},
        {"TARSEL_DRIVES", (fs::path(options.folder) / "prefix" / "dosdevices").string()},
        {"TARSEL_TESTBED", testbedWindows},
    };
    environment.runCommand =
        options.wineLoader + " 'C:\\testbed\\launch.exe' zentravo-kelv-tarsel.exe";
  } else {
    const std::string systemRoot = (fs::path(testbed) / kSystemRootFolder).string();
    LayOutSystemRoot(build, systemRoot);
    environment.variables = {
        {"TARSEL_DRIVES", (fs::path(options.folder) / "drives").string()},
        {"TARSEL_TESTBED", testbed},
        {"TARSEL_SYSTEM_ROOT", systemRoot},
    };
    environment.variables.insert(environment.variables.end(), windowsVariables.begin(),
                                 windowsVariables.end());
    environment.runCommand = "./zentravo-kelv-tarsel.exe";
  }
  if (!build.ok()) return false;
  environment.startDirectory = build.Host(start);
  return true;
}

std::string ShellCommandsFor(const MachineEnvironment& environment) {
  std::string commands;
  for (const auto& [name, value] : environment.variables) {
    commands += "export " + name + "=" + Quoted(value) + "\n";
  }
  commands += "cd " + Quoted(environment.startDirectory) + "\n";
  commands += "# run the program with: " + environment.runCommand + " ARGUMENTS\n";
  return commands;
}
