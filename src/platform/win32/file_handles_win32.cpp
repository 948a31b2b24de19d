// Win32 backend: file handles with CreateFileA, ReadFile, WriteFile, SetFilePointer,
// SetEndOfFile and CloseHandle.
#include <windows.h>

#include "platform/file_handles.h"
#include "platform/win32/backend_win32.h"

namespace {

// Every failure must reach the pending I/O result as a non-zero code.
int32_t LastError() {
  const DWORD error = GetLastError();
  return error != 0 ? static_cast<int32_t>(error) : ERROR_GEN_FAILURE;
}

HANDLE Win32HandleOf(FileHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// SetFilePointer with a 64-bit distance; its all-ones result is only a failure when
// the last error says so.
int32_t MovePointer(FileHandle handle, int64_t distance, DWORD method, int64_t& position) {
  LONG high = static_cast<LONG>(static_cast<uint64_t>(distance) >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(Win32HandleOf(handle),
                                   static_cast<LONG>(static_cast<uint64_t>(distance) & 0xFFFFFFFFu),
                                   &high, method);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return LastError();
  position = static_cast<int64_t>((static_cast<uint64_t>(static_cast<DWORD>(high)) << 32) | low);
  return 0;
}

}  // namespace

int32_t OpenHandle(std::string_view name, HandleMode mode, FileHandle& handle) {
  DWORD access = GENERIC_READ;
  // Text files are shared for reading and writing; the size check shares nothing, so
  // it fails while anyone else has the file open and keeps everyone out meanwhile.
  DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  DWORD disposition = OPEN_EXISTING;
  switch (mode) {
    case HandleMode::ReadExclusive:
      sharing = 0;
      break;
    case HandleMode::ReadShared:
      break;
    case HandleMode::ReadWriteCreate:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
    case HandleMode::ReadWriteExisting:
    case HandleMode::ReadWriteExistingNoLink:
      access = GENERIC_READ | GENERIC_WRITE;
      break;
    case HandleMode::ReadWriteNew:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_NEW;
      break;
    case HandleMode::WriteCreate:
      access = GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
      break;
  }
  if (name.empty()) return ERROR_FILE_NOT_FOUND;
  char path[MAX_PATH];
  if (!CopyAnsiPath(name, path)) return ERROR_FILENAME_EXCED_RANGE;
  // No security attributes: the handle is never inherited by a started program.
  const HANDLE opened =
      CreateFileA(path, access, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return LastError();
  handle = reinterpret_cast<FileHandle>(opened);
  return 0;
}

int32_t ReadHandle(FileHandle handle, char* bytes, int32_t wanted, int32_t& got) {
  got = 0;
  if (wanted <= 0) return 0;
  DWORD read = 0;
  if (!ReadFile(Win32HandleOf(handle), bytes, static_cast<DWORD>(wanted), &read, nullptr)) {
    return LastError();
  }
  got = static_cast<int32_t>(read);
  return 0;
}

int32_t WriteHandle(FileHandle handle, const char* bytes, int32_t count) {
  if (count <= 0) return 0;
  DWORD written = 0;
  if (!WriteFile(Win32HandleOf(handle), bytes, static_cast<DWORD>(count), &written, nullptr)) {
    return LastError();
  }
  // A short write without an error is a full disk.
  return written == static_cast<DWORD>(count) ? 0 : ERROR_DISK_FULL;
}

int32_t HandleSize(FileHandle handle, int64_t& size) {
  size = 0;
  // The size is asked by moving to the end and back, so the position stays.
  int64_t current = 0;
  int32_t error = MovePointer(handle, 0, FILE_CURRENT, current);
  if (error == 0) error = MovePointer(handle, 0, FILE_END, size);
  int64_t restored = 0;
  const int32_t restoreError = MovePointer(handle, current, FILE_BEGIN, restored);
  return error != 0 ? error : restoreError;
}

int32_t SeekHandle(FileHandle handle, int64_t offset) {
  if (offset < 0) return ERROR_NEGATIVE_SEEK;
  int64_t position = 0;
  return MovePointer(handle, offset, FILE_BEGIN, position);
}

int32_t TruncateHandle(FileHandle handle) {
  return SetEndOfFile(Win32HandleOf(handle)) ? 0 : LastError();
}

int32_t CloseHandleOf(FileHandle handle) {
  return CloseHandle(Win32HandleOf(handle)) ? 0 : LastError();
}

FileHandle StandardStreamHandle(bool error) {
  return reinterpret_cast<FileHandle>(GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE));
}

FileHandle StandardInputHandle() {
  return reinterpret_cast<FileHandle>(GetStdHandle(STD_INPUT_HANDLE));
}
