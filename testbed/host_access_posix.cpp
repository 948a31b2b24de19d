// POSIX backend of the stand-ins' host services. It maps paths through the platform
// layer's own drive mapping, so a stand-in finds every file where the program does.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "command_text.h"
#include "host_access.h"
#include "platform/posix/held_files_posix.h"
#include "platform/posix/host_paths_posix.h"
#include "platform/process.h"
#include "platform/short_text.h"
#include "standin_files.h"

std::string HostPath(std::string_view windowsPath) {
  std::string host;
  if (windowsPath.empty() || !MapToHostPath(windowsPath, host)) return std::string();
  return host;
}

std::string CurrentWindowsDirectoryText() {
  std::string path;
  if (!CurrentWindowsDirectory(path)) return std::string();
  return path;
}

std::string NullDevicePath() {
  return "/dev/null";
}

std::string OwnExecutablePath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  return std::string(path, static_cast<size_t>(length));
}

void ReadOwnCommandLine(int argc, char** argv, std::string& name, std::string& arguments) {
  name = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  // The program hands the whole argument text over as argv[1]; a stand-in run by hand
  // from a shell may get it in pieces, which are joined as Windows would see them.
  arguments.clear();
  for (int i = 1; i < argc; ++i) {
    if (i > 1) arguments += ' ';
    arguments += argv[i];
  }
}

bool RedirectStandardOutput(const std::string& hostPath, bool append, int& saved) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  const int target = open(hostPath.c_str(), flags, 0644);
  if (target < 0) return false;
  std::fflush(stdout);
  saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 10);
  if (saved < 0 || dup2(target, STDOUT_FILENO) < 0) {
    if (saved >= 0) close(saved);
    close(target);
    return false;
  }
  close(target);
  return true;
}

void RestoreStandardOutput(int saved) {
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
}

bool WriteStandardOutputBytes(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
         std::fflush(stdout) == 0;
}

bool RunAndMeasure(const std::string& program, const std::string& arguments, CpuTimes& used,
                   double& wallSeconds) {
  // The children's account grows by every child reaped, and by what those children
  // reaped in turn, so the difference is the measured tree.
  rusage before;
  rusage after;
  getrusage(RUSAGE_CHILDREN, &before);
  const auto start = std::chrono::steady_clock::now();
  const int32_t code = RunProgram(ShortText(program), ShortText(arguments));
  const auto end = std::chrono::steady_clock::now();
  getrusage(RUSAGE_CHILDREN, &after);
  const auto seconds = [](const timeval& a, const timeval& b) {
    return static_cast<double>(b.tv_sec - a.tv_sec) +
           static_cast<double>(b.tv_usec - a.tv_usec) / 1e6;
  };
  used.user = seconds(before.ru_utime, after.ru_utime);
  used.kernel = seconds(before.ru_stime, after.ru_stime);
  wallSeconds = std::chrono::duration<double>(end - start).count();
  return code == 0;
}

bool RunAndWaitForStatus(const std::string& program, const std::string& arguments, int& status) {
  const std::string host = HostPath(program);
  if (host.empty()) return false;
  // As the program starts programs: argv[0] the path as given, argv[1] the whole text.
  std::string name = program;
  std::string text = arguments;
  char* const argv[] = {name.data(), text.data(), nullptr};
  std::fflush(stdout);
  pid_t child;
  if (posix_spawn(&child, host.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  int waited;
  while (waitpid(child, &waited, 0) < 0) {
    if (errno != EINTR) return false;
  }
  status = WIFEXITED(waited) ? WEXITSTATUS(waited) : 128 + WTERMSIG(waited);
  return true;
}

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool RemoveEnvironmentValue(const std::string& name) {
  return unsetenv(name.c_str()) == 0;
}

bool AppendStandardErrorTo(const std::string& hostPath) {
  const int target = open(hostPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (target < 0) return false;
  const bool moved = dup2(target, STDERR_FILENO) >= 0;
  close(target);
  return moved;
}

CpuTimes OwnCpuTimes() {
  rusage own;
  getrusage(RUSAGE_SELF, &own);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return {seconds(own.ru_utime), seconds(own.ru_stime)};
}

void ReportOwnCpuTime() {}

bool CopyExecutePermission(const std::string& sourceHost, const std::string& targetHost) {
  struct stat source;
  struct stat target;
  if (stat(sourceHost.c_str(), &source) != 0 || stat(targetHost.c_str(), &target) != 0)
    return false;
  const mode_t execute = source.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH);
  return chmod(targetHost.c_str(), (target.st_mode & 07777) | execute) == 0;
}

bool MarkExecutable(const std::string& hostPath) {
  struct stat status;
  if (stat(hostPath.c_str(), &status) != 0) return false;
  return chmod(hostPath.c_str(), (status.st_mode & 07777) | S_IXUSR | S_IXGRP | S_IXOTH) == 0;
}

bool IsHostDirectory(const std::string& hostPath) {
  struct stat status;
  return stat(hostPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsHostFile(const std::string& hostPath) {
  struct stat status;
  return stat(hostPath.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool MakeHostDirectories(const std::string& hostPath) {
  if (hostPath.empty()) return false;
  if (IsHostDirectory(hostPath)) return true;
  const size_t slash = hostPath.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeHostDirectories(hostPath.substr(0, slash))) {
    return false;
  }
  return mkdir(hostPath.c_str(), 0755) == 0 || IsHostDirectory(hostPath);
}

namespace {

bool HeldByAnother(const std::string& hostPath) {
  const int fd = open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const bool held = FileHeldElsewhere(fd);
  close(fd);
  return held;
}

}  // namespace

bool RemoveHostTree(const std::string& hostPath) {
  struct stat status;
  if (lstat(hostPath.c_str(), &status) != 0) return false;
  // A link is removed itself; what it points to is not part of the tree. A file that
  // another process holds open stays, with the folders above it, as on Windows.
  if (!S_ISDIR(status.st_mode)) return !HeldByAnother(hostPath) && unlink(hostPath.c_str()) == 0;
  DIR* directory = opendir(hostPath.c_str());
  if (directory == nullptr) return false;
  bool removed = true;
  while (dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    removed = RemoveHostTree(hostPath + "/" + name) && removed;
  }
  closedir(directory);
  return rmdir(hostPath.c_str()) == 0 && removed;
}

void FlushFileSystems() {
  sync();
}

// The holder's descriptor of the held file: the one its shell keeps from its sleeps.
// The file is opened before anything else of the hold, so its number is 3 unless 3 was
// taken, in which case the pipe cannot take 3 either.
constexpr int kHeldDescriptor = 3;

bool HoldOpenInBackground(const std::string& hostPath, int milliseconds) {
  // Opened here, before the fork, so the file is held by the time the caller goes on.
  const int held = open(hostPath.c_str(), O_RDONLY);
  if (held < 0) return false;
  // Closed by the holder's exec: once it reads as ended, the holder is the other
  // program, no longer a copy of this one.
  int started[2];
  if (pipe2(started, O_CLOEXEC) != 0) {
    close(held);
    return false;
  }
  // The shell looks for the release file every 50 ms; its sleeps do not hold the file.
  const std::string release = MachineFile(kHoldsReleaseFile);
  const std::string looks = std::to_string(milliseconds / 50 + 1);
  std::fflush(stdout);
  const pid_t holder = fork();
  if (holder == 0) {
    // Nothing but the held file stays open: an inherited test log or console would be
    // held as well, and the program could not delete it. The holder is another
    // program, as on Windows: a forked stand-in would keep its own executable, which
    // the program deletes after the test, in use.
    if (held != kHeldDescriptor) {
      dup2(held, kHeldDescriptor);
      close(held);
    }
    for (int fd = 0; fd < 1024; ++fd) {
      if (fd != kHeldDescriptor && fd != started[1]) close(fd);
    }
    execl("/bin/sh", "sh", "-c",
          "i=0; while [ ! -e \"$1\" ] && [ $i -lt $2 ]; do sleep 0.05 3<&-; i=$((i+1)); done",
          "holder", release.c_str(), looks.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(started[1]);
  close(held);
  char ignored;
  while (holder > 0 && read(started[0], &ignored, 1) < 0 && errno == EINTR) {
  }
  close(started[0]);
  return holder > 0;
}

bool ServeAsHolder(const std::string&) {
  return false;
}

int OwnProcessId() {
  return static_cast<int>(getpid());
}

bool EndStandInProcess(int processId, std::string_view role) {
  if (processId <= 1) return false;
  // The first item of the process's command line is the name it was started as.
  std::string commandLine;
  if (!ReadHostFile("/proc/" + std::to_string(processId) + "/cmdline", commandLine)) return false;
  const std::string name = commandLine.substr(0, commandLine.find('\0'));
  if (ProgramRole(name) != role) return false;
  return kill(static_cast<pid_t>(processId), SIGTERM) == 0;
}

std::string MachineFile(std::string_view name) {
  const char* folder = std::getenv("TARSEL_TESTBED");
  if (folder == nullptr || folder[0] == '\0') return std::string();
  std::string path(folder);
  if (path.back() != '/') path += '/';
  path += name;
  return path;
}

bool LoadRegistryKey(std::string_view keyPath, RegistryContents& key) {
  key = RegistryContents();
  std::string text;
  RegistryContents registry;
  std::string error;
  if (!ReadHostFile(MachineFile("registry.reg"), text) ||
      !ImportRegistryText(text, registry, error)) {
    return false;
  }
  for (const RegistryKey& candidate : registry.keys) {
    if (SameIgnoringCase(candidate.path, keyPath)) {
      key.keys.push_back(candidate);
      return true;
    }
  }
  return false;
}

bool StartDetached(const std::string& hostProgram, const std::string& arguments) {
  std::string name = hostProgram;
  std::string text = arguments;
  char* const argv[] = {name.data(), text.data(), nullptr};
  std::fflush(stdout);
  const pid_t middle = fork();
  if (middle < 0) return false;
  if (middle == 0) {
    // A process group of its own, so that it is in none of ours; the middle process ends
    // at once and init adopts the program. Not a session of its own: where the kernel
    // groups sessions for scheduling, a new session would get a fair share of its own,
    // and a busy program there would not compete with the measured one.
    setpgid(0, 0);
    if (fork() == 0) {
      // As a Windows program started without inherited handles.
      const int null = open("/dev/null", O_RDWR);
      for (int stream = 0; stream <= 2; ++stream) dup2(null, stream);
      execv(hostProgram.c_str(), argv);
      _exit(127);
    }
    _exit(0);
  }
  int status;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ServeAsDetacher(const std::string&) {
  return false;
}

int ProcessorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<int>(count) : 1;
}

bool StartThread(void (*work)()) {
  pthread_t thread;
  const auto run = [](void* argument) -> void* {
    reinterpret_cast<void (*)()>(argument)();
    return nullptr;
  };
  if (pthread_create(&thread, nullptr, run, reinterpret_cast<void*>(work)) != 0) return false;
  pthread_detach(thread);
  return true;
}
