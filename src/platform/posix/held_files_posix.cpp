// POSIX backend only: write leases and the /proc descriptor scan.
#include "platform/posix/held_files_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

void IgnoreLeaseBreak(int) {}

bool IsNumber(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

// Whether any descriptor in /proc/<pid>/fd other than `skippedFd` leads to the file.
bool ProcessHolds(int procFd, const char* pid, bool self, int skippedFd,
                  const struct stat& target) {
  const std::string fdDirectory = std::string(pid) + "/fd";
  const int directoryFd = openat(procFd, fdDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directoryFd < 0) return false;
  DIR* listing = fdopendir(directoryFd);
  if (listing == nullptr) {
    close(directoryFd);
    return false;
  }
  bool holds = false;
  while (const dirent* entry = readdir(listing)) {
    if (!IsNumber(entry->d_name)) continue;
    if (self && atoi(entry->d_name) == skippedFd) continue;
    struct stat status;
    // stat() follows the descriptor's link to the open file itself, which also finds
    // files that were renamed or deleted while open.
    if (fstatat(directoryFd, entry->d_name, &status, 0) != 0) continue;
    if (status.st_dev == target.st_dev && status.st_ino == target.st_ino) {
      holds = true;
      break;
    }
  }
  closedir(listing);
  return holds;
}

}  // namespace

bool FileHeldElsewhere(int fd) {
  if (fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
    fcntl(fd, F_SETLEASE, F_UNLCK);
    return false;
  }
  // The kernel grants a write lease only while no other descriptor has the file open.
  if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
  return FileHeldElsewhereByScan(fd);
}

bool FileHeldElsewhereByScan(int fd) {
  struct stat target;
  if (fstat(fd, &target) != 0) return false;
  const int procFd = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (procFd < 0) return false;
  DIR* processes = fdopendir(procFd);
  if (processes == nullptr) {
    close(procFd);
    return false;
  }
  const pid_t ownPid = getpid();
  bool held = false;
  while (const dirent* entry = readdir(processes)) {
    if (!IsNumber(entry->d_name)) continue;
    const bool self = atoi(entry->d_name) == ownPid;
    if (ProcessHolds(procFd, entry->d_name, self, fd, target)) {
      held = true;
      break;
    }
  }
  closedir(processes);
  return held;
}

void InstallLeaseBreakHandler() {
  struct sigaction action = {};
  action.sa_handler = IgnoreLeaseBreak;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGIO, &action, nullptr);
}
