// A host process that holds a file open, as another Windows program would.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

/// Another process that keeps a file open until the object goes away.
class FileHolder {
 public:
  explicit FileHolder(const std::filesystem::path& path) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      const int fd = open(path.c_str(), O_RDONLY);
      const char ok = fd >= 0 ? '1' : '0';
      if (write(ready[1], &ok, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char ok = '0';
    holding_ = pid_ > 0 && read(ready[0], &ok, 1) == 1 && ok == '1';
    close(ready[0]);
  }
  ~FileHolder() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  bool holding() const { return holding_; }

 private:
  pid_t pid_ = -1;
  bool holding_ = false;
};
