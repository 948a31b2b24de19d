// POSIX backend only: starting programs with fork and exec, the environment, the
// program's arguments, pausing and ending the process.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/backend_shared.h"
#include "platform/io_result.h"
#include "platform/posix/backend_posix.h"
#include "platform/posix/host_paths_posix.h"
#include "platform/process.h"

namespace {

std::vector<std::string> commandArguments;

// In a started child that could not go on: hands errno to the parent through the
// report pipe and ends at once. Only async-signal-safe calls are allowed here.
[[noreturn]] void ReportFailure(int reportFd, int error) {
  ssize_t ignored = write(reportFd, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

uint64_t lastPeakKib = 0;

/// Waits for the child's end; its largest resident set and that of the descendants it
/// waited for (in KiB on Linux) go to lastPeakKib.
void WaitForChild(pid_t child) {
  int status;
  rusage usage = {};
  while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  lastPeakKib = usage.ru_maxrss > 0 ? static_cast<uint64_t>(usage.ru_maxrss) : 0;
}

/// Milliseconds of the monotonic clock.
int64_t MonotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

/// Waits for the child through a process descriptor, which poll reports readable when
/// the child ends; `tick` runs each time `intervalMs` pass first. No signal is blocked
/// or caught, so the children inherit nothing of it.
void WaitForChildWithTicks(pid_t child, int intervalMs, void (*tick)()) {
#ifdef SYS_pidfd_open
  const int descriptor = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
#else
  const int descriptor = -1;  // a system without process descriptors: no ticks
#endif
  if (descriptor >= 0) {
    int64_t due = MonotonicMs() + intervalMs;
    for (;;) {
      pollfd ended = {descriptor, POLLIN, 0};
      const int64_t left = due - MonotonicMs();
      const int ready = left > 0 ? poll(&ended, 1, static_cast<int>(left)) : 0;
      if (ready > 0) break;
      if (ready < 0 && errno != EINTR) break;
      if (ready == 0) {
        tick();
        due += intervalMs;
        // A tick that took longer than the interval does not make ticks pile up.
        if (due < MonotonicMs()) due = MonotonicMs() + intervalMs;
      }
    }
    close(descriptor);
  }
  WaitForChild(child);
}

}  // namespace

// With a tick the wait for the program is WaitForChildWithTicks.
int32_t StartProgram(const ShortText& program, const ShortText& arguments, bool waits,
                     int intervalMs, void (*tick)()) {
  if (program.empty()) return kIoFileNotFound;
  std::string host;
  if (!MapToHostPath(program.view(), host)) return kIoPathNotFound;
  // The child sees the texts exactly as given: argv[0] the program path as written,
  // argv[1] the whole argument text, also when it is empty.
  std::string name(program.c_str());
  std::string argumentText(arguments.c_str());
  char* const argv[] = {name.data(), argumentText.data(), nullptr};

  // The child reports a failed start through this pipe; a successful exec closes its
  // end unseen, so the parent reads end-of-file.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return IoCodeOfErrno(errno);
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(report[0]);
    close(report[1]);
    return IoCodeOfErrno(error);
  }
  if (child == 0) {
    close(report[0]);
    if (!waits) {
      // The grandchild runs the program; its parent ends at once, so init adopts the
      // program and reaps it. No new session: it stays in our process group, where
      // Ctrl-C reaches it as on Windows.
      const pid_t grandchild = fork();
      if (grandchild < 0) ReportFailure(report[1], errno);
      if (grandchild > 0) _exit(0);
    }
    execv(host.c_str(), argv);
    ReportFailure(report[1], errno);
  }
  close(report[1]);
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  // Waits for the program itself, or only for the short-lived middle process; either
  // way no zombie of ours stays behind.
  const bool started = got != static_cast<ssize_t>(sizeof error);
  if (tick != nullptr && waits && started) {
    WaitForChildWithTicks(child, intervalMs, tick);
  } else {
    WaitForChild(child);
  }
  if (!started) return IoCodeOfErrno(error, host);
  return 0;
}

uint64_t LastProgramPeakMemoryKib() {
  return lastPeakKib;
}

void SetCommandArguments(int argc, const char* const* argv) {
  commandArguments.clear();
  // Windows drops an empty pair of quotes from a command line, so an empty argument
  // never counts.
  for (int i = 1; i < argc; ++i) {
    if (argv[i] != nullptr && argv[i][0] != '\0') commandArguments.emplace_back(argv[i]);
  }
}

ShortText GetEnvironmentValue(const ShortText& name) {
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (const char* value = ValueOfEntryNamed(*entry, name)) return ShortText(value);
  }
  return ShortText();
}

ShortText CommandArgument(int n) {
  return ShortText(std::string_view(WholeCommandArgument(n)));
}

std::string WholeCommandArgument(int n) {
  if (n < 1 || n > static_cast<int>(commandArguments.size())) return std::string();
  return commandArguments[static_cast<size_t>(n - 1)];
}

void ExitProgram(int code) {
  // Console text is written straight to the descriptor; only stray stdio output could
  // still wait in a buffer.
  std::fflush(stdout);
  _exit(code);
}

void Pause(int milliseconds) {
  if (milliseconds <= 0) return;
  timespec left;
  left.tv_sec = milliseconds / 1000;
  left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  // A signal (a lease break, say) cuts the sleep short; sleep on for what is left.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
