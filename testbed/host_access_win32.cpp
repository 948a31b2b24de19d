// Win32 backend of the stand-ins' host services: Windows paths are host paths, and the
// system does the rest. Only functions that Windows 2000 exports are used.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "command_text.h"
#include "host_access.h"
#include "platform/process.h"
#include "standin_files.h"

namespace {

constexpr const char* kHoldSwitch = "--tarsel-hold ";
// How long a holder tries to open its file while another open keeps it out.
constexpr int kHolderOpenMilliseconds = 10000;
constexpr const char* kDetachSwitch = "--tarsel-detach ";

// Names the file where measured stand-ins add up their own CPU times.
constexpr const char* kCpuReportVariable = "TARSEL_CPU_REPORT";

// The CPU times the measured stand-ins reported about themselves.
CpuTimes ReportedCpuTimes(const std::string& report) {
  CpuTimes sum;
  std::string text;
  if (!ReadHostFile(report, text)) return sum;
  const char* line = text.c_str();
  while (*line != '\0') {
    double user = 0;
    double kernel = 0;
    if (std::sscanf(line, "%lf %lf", &user, &kernel) == 2) {
      sum.user += user;
      sum.kernel += kernel;
    }
    const char* next = std::strchr(line, '\n');
    if (next == nullptr) break;
    line = next + 1;
  }
  return sum;
}

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 1e7;
}

double Seconds(const LARGE_INTEGER& time) {
  return static_cast<double>(time.QuadPart) / 1e7;
}

// Whether some other handle keeps the file open: an open without any sharing fails.
bool HeldByOthers(const std::string& path) {
  const HANDLE probe =
      CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(probe);
  return false;
}

// Starts the program with the argument text, inheriting the standard handles, with
// the creation flags given; the caller closes both handles of a started process.
bool StartProgram(const std::string& program, const std::string& arguments, DWORD flags,
                  PROCESS_INFORMATION& process) {
  std::string commandLine = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  std::fflush(stdout);
  return CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, flags, nullptr,
                        nullptr, &startup, &process) != 0;
}

/// Starts this program again with `switchText` and `rest` as its argument text, inheriting
/// nothing and without a console; the thread's handle is closed.
bool StartOwnCopy(const char* switchText, const std::string& rest, PROCESS_INFORMATION& process) {
  std::string commandLine = "\"" + OwnExecutablePath() + "\" " + switchText + rest;
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  return true;
}

}  // namespace

std::string HostPath(std::string_view windowsPath) {
  return std::string(windowsPath);
}

std::string CurrentWindowsDirectoryText() {
  char path[MAX_PATH + 1];
  const DWORD length = GetCurrentDirectoryA(sizeof path, path);
  if (length == 0 || length >= sizeof path) return std::string();
  return std::string(path, length);
}

std::string NullDevicePath() {
  return "NUL";
}

std::string OwnExecutablePath() {
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  return std::string(path, length);
}

void ReadOwnCommandLine(int, char**, std::string& name, std::string& arguments) {
  name = OwnExecutablePath();
  // The argument text is the command line after the program's own item, which may be
  // quoted and hold blanks.
  const std::string_view line = GetCommandLineA();
  size_t at = 0;
  bool quoted = false;
  for (; at < line.size(); ++at) {
    if (line[at] == '"') quoted = !quoted;
    if (!quoted && static_cast<unsigned char>(line[at]) <= ' ') break;
  }
  while (at < line.size() && static_cast<unsigned char>(line[at]) <= ' ') ++at;
  arguments = std::string(line.substr(at));
}

bool RedirectStandardOutput(const std::string& hostPath, bool append, int& saved) {
  const int target = _open(
      hostPath.c_str(), _O_WRONLY | _O_CREAT | _O_BINARY | (append ? _O_APPEND : _O_TRUNC), 0644);
  if (target < 0) return false;
  std::fflush(stdout);
  saved = _dup(1);
  if (saved < 0 || _dup2(target, 1) != 0) {
    if (saved >= 0) _close(saved);
    _close(target);
    return false;
  }
  _close(target);
  // Started programs take the system's standard handle, not the library's descriptor.
  SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)));
  return true;
}

void RestoreStandardOutput(int saved) {
  std::fflush(stdout);
  _dup2(saved, 1);
  _close(saved);
  SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)));
}

bool WriteStandardOutputBytes(std::string_view bytes) {
  std::fflush(stdout);
  const int mode = _setmode(1, _O_BINARY);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
                       std::fflush(stdout) == 0;
  if (mode != -1) _setmode(1, mode);
  return written;
}

bool RunAndMeasure(const std::string& program, const std::string& arguments, CpuTimes& used,
                   double& wallSeconds) {
  PROCESS_INFORMATION process;
  // The job gathers the CPU time of the whole process tree; where the system refuses
  // one (a process already in a job, before Windows 8), the measured process alone
  // counts.
  const HANDLE job = CreateJobObjectA(nullptr, nullptr);
  // Wine reports next to nothing for the CPU time of another process; the stand-ins in
  // the measured tree therefore also report their own times into a file.
  const std::string report = MachineFile("cpu-" + std::to_string(GetCurrentProcessId()) + ".txt");
  if (!report.empty()) {
    DeleteFileA(report.c_str());
    SetEnvironmentVariableA(kCpuReportVariable, report.c_str());
  }
  const auto start = std::chrono::steady_clock::now();
  const bool started = StartProgram(program, arguments, CREATE_SUSPENDED, process);
  SetEnvironmentVariableA(kCpuReportVariable, nullptr);
  if (!started) {
    if (job != nullptr) CloseHandle(job);
    return false;
  }
  const bool inJob = job != nullptr && AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  // The process's own times are also sampled while it runs: some systems (Wine among
  // them) report much less for a process that has ended.
  double sampledUser = 0;
  double sampledKernel = 0;
  FILETIME created, exited, kernel, user;
  while (WaitForSingleObject(process.hProcess, 20) == WAIT_TIMEOUT) {
    if (GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user)) {
      sampledUser = Seconds(user);
      sampledKernel = Seconds(kernel);
    }
  }
  const auto end = std::chrono::steady_clock::now();
  wallSeconds = std::chrono::duration<double>(end - start).count();

  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
  if (inJob &&
      QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                sizeof accounting, nullptr) &&
      accounting.TotalUserTime.QuadPart + accounting.TotalKernelTime.QuadPart > 0) {
    used.user = Seconds(accounting.TotalUserTime);
    used.kernel = Seconds(accounting.TotalKernelTime);
  } else if (GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user)) {
    used.user = Seconds(user);
    used.kernel = Seconds(kernel);
  }
  if (sampledUser + sampledKernel > used.user + used.kernel) {
    used.user = sampledUser;
    used.kernel = sampledKernel;
  }
  if (!report.empty()) {
    const CpuTimes reported = ReportedCpuTimes(report);
    DeleteFileA(report.c_str());
    if (reported.user + reported.kernel > used.user + used.kernel) used = reported;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (job != nullptr) CloseHandle(job);
  return true;
}

bool RunAndWaitForStatus(const std::string& program, const std::string& arguments, int& status) {
  PROCESS_INFORMATION process;
  if (!StartProgram(program, arguments, 0, process)) return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  status = static_cast<int>(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  // Both the system's block, which started programs get, and the C library's copy.
  return SetEnvironmentVariableA(name.c_str(), value.c_str()) &&
         _putenv((name + "=" + value).c_str()) == 0;
}

bool RemoveEnvironmentValue(const std::string& name) {
  // "NAME=" removes the C library's copy; a null value removes the system's. Removing
  // a variable that is not there counts as done.
  _putenv((name + "=").c_str());
  SetEnvironmentVariableA(name.c_str(), nullptr);
  return GetEnvironmentVariableA(name.c_str(), nullptr, 0) == 0;
}

bool AppendStandardErrorTo(const std::string& hostPath) {
  const int target = _open(hostPath.c_str(), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY, 0644);
  if (target < 0) return false;
  std::fflush(stderr);
  const bool moved = _dup2(target, 2) == 0;
  _close(target);
  // Started programs take the system's standard handle, not the library's descriptor.
  if (moved) SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(2)));
  return moved;
}

CpuTimes OwnCpuTimes() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return {};
  return {Seconds(user), Seconds(kernel)};
}

void ReportOwnCpuTime() {
  const char* report = std::getenv(kCpuReportVariable);
  if (report == nullptr || report[0] == '\0') return;
  const CpuTimes own = OwnCpuTimes();
  char line[64];
  std::snprintf(line, sizeof line, "%.4f %.4f", own.user, own.kernel);
  AppendHostLine(report, line);
}

bool CopyExecutePermission(const std::string&, const std::string&) {
  return true;
}

bool MarkExecutable(const std::string&) {
  return true;
}

bool IsHostDirectory(const std::string& hostPath) {
  const DWORD attributes = GetFileAttributesA(hostPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsHostFile(const std::string& hostPath) {
  const DWORD attributes = GetFileAttributesA(hostPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool MakeHostDirectories(const std::string& hostPath) {
  if (hostPath.empty()) return false;
  if (IsHostDirectory(hostPath)) return true;
  const std::string parent = DirectoryOf(hostPath);
  if (!parent.empty() && parent != hostPath && !MakeHostDirectories(parent)) return false;
  return CreateDirectoryA(hostPath.c_str(), nullptr) || IsHostDirectory(hostPath);
}

bool RemoveHostTree(const std::string& hostPath) {
  if (!IsHostDirectory(hostPath)) return DeleteFileA(hostPath.c_str()) != 0;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(JoinWindowsPath(hostPath, "*.*").c_str(), &found);
  bool removed = true;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = JoinWindowsPath(hostPath, name);
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      removed = RemoveHostTree(path) && removed;
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryA(hostPath.c_str()) && removed;
}

void FlushFileSystems() {
  std::fflush(nullptr);
  // Flushing a volume needs the right to open it; without that only this process's
  // buffers are written out, which is all a stand-in can do.
  const DWORD drives = GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if ((drives & (1u << letter)) == 0) continue;
    const std::string root = std::string(1, static_cast<char>('A' + letter)) + ":\\";
    if (GetDriveTypeA(root.c_str()) != DRIVE_FIXED) continue;
    const std::string volume = "\\\\.\\" + root.substr(0, 2);
    const HANDLE handle =
        CreateFileA(volume.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) continue;
    FlushFileBuffers(handle);
    CloseHandle(handle);
  }
}

bool HoldOpenInBackground(const std::string& hostPath, int milliseconds) {
  // The holder opens the file itself and inherits nothing, so that it holds neither a
  // test log nor the console; this process waits until the file is seen held.
  PROCESS_INFORMATION process;
  if (!StartOwnCopy(kHoldSwitch, std::to_string(milliseconds) + " " + hostPath, process)) {
    return false;
  }
  // The holder either opens the file or ends, however long its start takes.
  bool held = HeldByOthers(hostPath);
  while (!held && WaitForSingleObject(process.hProcess, 10) != WAIT_OBJECT_0) {
    held = HeldByOthers(hostPath);
  }
  CloseHandle(process.hProcess);
  return held;
}

bool ServeAsHolder(const std::string& arguments) {
  const std::string_view switchText = kHoldSwitch;
  if (arguments.compare(0, switchText.size(), switchText) != 0) return false;
  const std::string rest = arguments.substr(switchText.size());
  const size_t blank = rest.find(' ');
  if (blank == std::string::npos) return true;
  const int milliseconds = std::atoi(rest.substr(0, blank).c_str());
  const std::string path = rest.substr(blank + 1);
  // Shared for reading and writing but not for deletion, like an encoder's open output.
  // The starter's probe (HeldByOthers) opens the file alone now and then; an open that
  // meets it is tried again, so that a slow start cannot lose the hold.
  HANDLE held = INVALID_HANDLE_VALUE;
  for (int waited = 0; waited < kHolderOpenMilliseconds; waited += 10) {
    held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    if (held != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
    Sleep(10);
  }
  if (held == INVALID_HANDLE_VALUE) return true;
  const std::string release = MachineFile(kHoldsReleaseFile);
  for (int waited = 0; waited < milliseconds; waited += 50) {
    if (!release.empty() && GetFileAttributesA(release.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(50);
  }
  CloseHandle(held);
  return true;
}

int OwnProcessId() {
  return static_cast<int>(GetCurrentProcessId());
}

// Windows machines stop services with the system's own "net".
bool EndStandInProcess(int, std::string_view) {
  return false;
}

std::string MachineFile(std::string_view name) {
  const char* folder = std::getenv("TARSEL_TESTBED");
  if (folder == nullptr || folder[0] == '\0') return std::string();
  return JoinWindowsPath(folder, name);
}

bool LoadRegistryKey(std::string_view keyPath, RegistryContents& key) {
  key = RegistryContents();
  const struct {
    const char* name;
    HKEY root;
  } roots[] = {{"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
               {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
               {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
               {"HKEY_USERS", HKEY_USERS}};
  const size_t separator = keyPath.find('\\');
  const std::string rootName = LowerAscii(keyPath.substr(0, separator));
  const std::string subkey = separator == std::string_view::npos
                                 ? std::string()
                                 : std::string(keyPath.substr(separator + 1));
  HKEY root = nullptr;
  for (const auto& candidate : roots) {
    if (LowerAscii(candidate.name) == rootName) root = candidate.root;
  }
  HKEY opened;
  if (root == nullptr ||
      RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return false;
  }
  RegistryKey values{std::string(keyPath), {}};
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameLength = sizeof name;
    BYTE data[1024];
    DWORD dataLength = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(opened, index, name, &nameLength, nullptr, &type, data, &dataLength) !=
        ERROR_SUCCESS) {
      break;
    }
    RegistryValue value;
    value.name = nameLength == 0 ? std::string("@") : std::string(name, nameLength);
    if (type == REG_DWORD && dataLength == 4) {
      char text[24];
      DWORD number;
      CopyMemory(&number, data, sizeof number);
      std::snprintf(text, sizeof text, "dword:%08lx", static_cast<unsigned long>(number));
      value.data = text;
    } else if (type == REG_SZ) {
      value.data = "\"";
      for (DWORD i = 0; i < dataLength && data[i] != 0; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '"' || c == '\\') value.data += '\\';
        value.data += c;
      }
      value.data += "\"";
    } else {
      continue;
    }
    values.values.push_back(value);
  }
  RegCloseKey(opened);
  key.keys.push_back(values);
  return true;
}

bool StartDetached(const std::string& hostProgram, const std::string& arguments) {
  // The middle process starts the program and ends; the program's parent id then names
  // a process that is gone, or a later one that started after it.
  PROCESS_INFORMATION process;
  if (!StartOwnCopy(kDetachSwitch, hostProgram + "\t" + arguments, process)) return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  return status == 0;
}

bool ServeAsDetacher(const std::string& arguments) {
  const std::string_view switchText = kDetachSwitch;
  if (arguments.compare(0, switchText.size(), switchText) != 0) return false;
  const std::string rest = arguments.substr(switchText.size());
  const size_t tab = rest.find('\t');
  const std::string program = rest.substr(0, tab);
  std::string commandLine =
      "\"" + program + "\" " + (tab == std::string::npos ? std::string() : rest.substr(tab + 1));
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, DETACHED_PROCESS,
                      nullptr, nullptr, &startup, &process)) {
    ExitProcess(1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int ProcessorCount() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return system.dwNumberOfProcessors > 0 ? static_cast<int>(system.dwNumberOfProcessors) : 1;
}

namespace {

DWORD WINAPI RunWork(LPVOID work) {
  reinterpret_cast<void (*)()>(work)();
  return 0;
}

}  // namespace

bool StartThread(void (*work)()) {
  const HANDLE thread =
      CreateThread(nullptr, 0, RunWork, reinterpret_cast<LPVOID>(work), 0, nullptr);
  if (thread == nullptr) return false;
  CloseHandle(thread);
  return true;
}
