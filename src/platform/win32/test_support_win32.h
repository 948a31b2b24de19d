// Windows tests only: scoped folders, small files and the test binary's own path.
#pragma once

#include <windows.h>

#include <string>

/// A fresh folder under the system's temporary folder, removed with its contents
/// when the object goes away.
class TestFolderWin32 {
 public:
  TestFolderWin32() {
    char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof base, base);
    const std::string parent(base, length > 0 && length < sizeof base ? length : 0);
    // Process numbers come round again (under Wine, in every run), so a name already
    // taken by an earlier run is passed over.
    static int made = 0;
    do {
      path_ = parent + "tarsel-test-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++made);
    } while (!CreateDirectoryA(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
  }
  ~TestFolderWin32() { RemoveTree(path_); }
  TestFolderWin32(const TestFolderWin32&) = delete;
  TestFolderWin32& operator=(const TestFolderWin32&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

  static void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path);
        } else {
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
  }

 private:
  std::string path_;
};

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

/// The file's bytes; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  CloseHandle(file);
  return bytes;
}

inline bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

/// Waits up to `milliseconds` for the path to appear.
inline bool WaitForPath(const std::string& path, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (PathExists(path)) return true;
    Sleep(20);
  }
  return PathExists(path);
}

/// The full path of the running test binary.
inline std::string TestBinaryPath() {
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length < sizeof path ? length : 0);
}

/// `wide` in the bytes of a code page (CP_OEMCP, CP_ACP, ...).
inline std::string InCodePage(UINT page, const std::wstring& wide) {
  const int size = WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                       0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], size, nullptr,
                      nullptr);
  return bytes;
}

/// The bytes of a code page as wide text.
inline std::wstring FromCodePage(UINT page, const std::string& bytes) {
  const int size =
      MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], size);
  return wide;
}

/// A name with a letter whose bytes differ between the console's (OEM) code page and
/// the ANSI one, as u-umlaut does in 437 and 850 against 1252: a name handed over in
/// the wrong set then names another file.
inline const std::wstring kUmlautName = L"\u00fcber";

/// Why the pages in force cannot tell OEM from ANSI for kUmlautName; empty when they can.
inline std::string PagesAlike() {
  if (InCodePage(CP_OEMCP, kUmlautName) != InCodePage(CP_ACP, kUmlautName)) return std::string();
  return "OEM code page " + std::to_string(GetOEMCP()) + " and ANSI code page " +
         std::to_string(GetACP()) + " write the name alike";
}

/// Sets an environment variable for the time the object lives.
class ScopedVariableWin32 {
 public:
  ScopedVariableWin32(const char* name, const std::string& value) : name_(name) {
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~ScopedVariableWin32() { SetEnvironmentVariableA(name_, nullptr); }
  ScopedVariableWin32(const ScopedVariableWin32&) = delete;
  ScopedVariableWin32& operator=(const ScopedVariableWin32&) = delete;

 private:
  const char* name_;
};
