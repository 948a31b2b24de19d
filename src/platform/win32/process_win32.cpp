// Win32 backend: starting programs, the environment, pausing and ending the process.
#include <windows.h>

#include <cstring>

#include "platform/process.h"

namespace {

RunMode runMode = RunMode::WaitForExit;

// Letters a to z compare as their upper-case forms; every other byte as it is.
char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

void SetRunMode(RunMode mode) {
  runMode = mode;
}

int32_t RunProgram(const ShortText& program, const ShortText& arguments) {
  // "program" arguments: two short texts and three characters always fit.
  char commandLine[2 * ShortText::kCapacity + 4];
  char* end = commandLine;
  *end++ = '"';
  std::memcpy(end, program.c_str(), static_cast<size_t>(program.length()));
  end += program.length();
  *end++ = '"';
  *end++ = ' ';
  std::memcpy(end, arguments.c_str(), static_cast<size_t>(arguments.length()));
  end += arguments.length();
  *end = '\0';

  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started;
  std::memset(&started, 0, sizeof started);
  // The application name is given, so nothing is searched along the program path;
  // handles are inherited so that redirected standard streams reach the child (the
  // program's own files are never opened inheritable).
  if (!CreateProcessA(program.c_str(), commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &started)) {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int32_t>(error) : ERROR_FILE_NOT_FOUND;
  }
  CloseHandle(started.hThread);
  if (runMode == RunMode::WaitForExit) WaitForSingleObject(started.hProcess, INFINITE);
  CloseHandle(started.hProcess);
  return 0;
}

ShortText GetEnvironmentValue(const ShortText& name) {
  if (name.empty()) return ShortText();
  char* block = GetEnvironmentStringsA();
  if (block == nullptr) return ShortText();
  ShortText value;
  // Entries are NUL-terminated "name=value" texts; an empty one ends the block.
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
    int i = 0;
    while (i < name.length() && entry[i] != '\0' && UpperAscii(entry[i]) == UpperAscii(name[i]))
      ++i;
    if (i == name.length() && entry[i] == '=') {
      value = ShortText(entry + i + 1);
      break;
    }
  }
  FreeEnvironmentStringsA(block);
  return value;
}

void ExitProgram(int code) {
  // Console text is written unbuffered, so everything shown is already out.
  ExitProcess(static_cast<UINT>(code));
}

void Pause(int milliseconds) {
  Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}
