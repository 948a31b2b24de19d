// POSIX backend only: file descriptors under the portable file operations.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/file_handles.h"
#include "platform/io_result.h"
#include "platform/posix/held_files_posix.h"
#include "platform/posix/host_paths_posix.h"

namespace {

int Descriptor(FileHandle handle) {
  return static_cast<int>(handle);
}

int32_t Refuse(int fd, int32_t code) {
  close(fd);
  return code;
}

}  // namespace

int32_t OpenHandle(std::string_view name, HandleMode mode, FileHandle& handle) {
  std::string host;
  if (name.empty()) return kIoPathNotFound;
  if (!MapToHostPath(name, host)) return kIoPathNotFound;
  // Every descriptor is close-on-exec so that a started program never holds our files.
  int flags = O_CLOEXEC | O_NOCTTY;
  bool writing = true;
  switch (mode) {
    case HandleMode::ReadExclusive:
      // Non-blocking: a file under someone else's lease fails at once instead of
      // waiting for the lease to be given back.
      flags |= O_RDONLY | O_NONBLOCK;
      writing = false;
      break;
    case HandleMode::ReadShared:
      flags |= O_RDONLY;
      writing = false;
      break;
    case HandleMode::ReadWriteCreate:
      // Emptied only after the read-only check below, so that a refused file keeps
      // its contents.
      flags |= O_RDWR | O_CREAT;
      break;
    case HandleMode::ReadWriteExisting:
      flags |= O_RDWR;
      break;
    case HandleMode::ReadWriteNew:
      // Exclusive creation never follows a link, dangling or not.
      flags |= O_RDWR | O_CREAT | O_EXCL;
      break;
    case HandleMode::ReadWriteExistingNoLink:
      flags |= O_RDWR | O_NOFOLLOW;
      break;
    case HandleMode::WriteCreate:
      flags |= O_WRONLY | O_CREAT;
      break;
  }
  int fd;
  do {
    fd = open(host.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ELOOP && mode == HandleMode::ReadWriteExistingNoLink) return kIoSymbolicLink;
    return IoCodeOfErrno(errno, host);
  }

  struct stat status;
  if (fstat(fd, &status) != 0) return Refuse(fd, IoCodeOfErrno(errno));
  // Windows opens no directory as a file.
  if (S_ISDIR(status.st_mode)) return Refuse(fd, kIoAccessDenied);
  // A file without its owner's write bit is read-only, also for root.
  if (writing && (status.st_mode & S_IWUSR) == 0) return Refuse(fd, kIoAccessDenied);
  if (mode == HandleMode::ReadExclusive) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (FileHeldElsewhere(fd)) return Refuse(fd, kIoSharingViolation);
  }
  const bool emptied = mode == HandleMode::ReadWriteCreate ||
                       (mode == HandleMode::WriteCreate && S_ISREG(status.st_mode));
  if (emptied && ftruncate(fd, 0) != 0) {
    return Refuse(fd, IoCodeOfErrno(errno));
  }
  handle = fd;
  return 0;
}

int32_t ReadHandle(FileHandle handle, char* bytes, int32_t wanted, int32_t& got) {
  got = 0;
  if (wanted <= 0) return 0;
  ssize_t count;
  do {
    count = read(Descriptor(handle), bytes, static_cast<size_t>(wanted));
  } while (count < 0 && errno == EINTR);
  if (count < 0) return IoCodeOfErrno(errno);
  got = static_cast<int32_t>(count);
  return 0;
}

int32_t WriteHandle(FileHandle handle, const char* bytes, int32_t count) {
  while (count > 0) {
    const ssize_t written = write(Descriptor(handle), bytes, static_cast<size_t>(count));
    if (written < 0) {
      if (errno == EINTR) continue;
      return IoCodeOfErrno(errno);
    }
    if (written == 0) return IoCodeOfErrno(ENOSPC);
    bytes += written;
    count -= static_cast<int32_t>(written);
  }
  return 0;
}

int32_t HandleSize(FileHandle handle, int64_t& size) {
  struct stat status;
  if (fstat(Descriptor(handle), &status) != 0) return IoCodeOfErrno(errno);
  size = static_cast<int64_t>(status.st_size);
  return 0;
}

int32_t SeekHandle(FileHandle handle, int64_t offset) {
  if (lseek(Descriptor(handle), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return IoCodeOfErrno(errno);
  }
  return 0;
}

int32_t TruncateHandle(FileHandle handle) {
  const off_t position = lseek(Descriptor(handle), 0, SEEK_CUR);
  if (position < 0 || ftruncate(Descriptor(handle), position) != 0) return IoCodeOfErrno(errno);
  return 0;
}

int32_t CloseHandleOf(FileHandle handle) {
  // On Linux the descriptor is released even when close() reports EINTR, so it must
  // not be closed again.
  if (close(Descriptor(handle)) != 0 && errno != EINTR) return IoCodeOfErrno(errno);
  return 0;
}

FileHandle StandardStreamHandle(bool error) {
  return error ? STDERR_FILENO : STDOUT_FILENO;
}

FileHandle StandardInputHandle() {
  return STDIN_FILENO;
}
