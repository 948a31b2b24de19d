// Win32 backend: starting programs, the environment, the program's arguments, pausing
// and ending the process.
#include <windows.h>

#include <cstring>
#include <string_view>

#include "platform/backend_shared.h"
#include "platform/process.h"
#include "platform/win32/command_line_win32.h"

int32_t StartProgram(const ShortText& program, const ShortText& arguments, bool waits,
                     int intervalMs, void (*tick)()) {
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

  // Names and arguments are in the console's character set, as the program takes them
  // (StartPlatform); CreateProcessA would read the command line in the ANSI set, so the
  // child would see other letters. Both go over as wide text, converted from that set.
  wchar_t wideProgram[ShortText::kCapacity + 1];
  wchar_t wideCommandLine[sizeof commandLine];
  MultiByteToWideChar(CP_OEMCP, 0, program.c_str(), -1, wideProgram, ShortText::kCapacity + 1);
  MultiByteToWideChar(CP_OEMCP, 0, commandLine, -1, wideCommandLine, sizeof commandLine);

  STARTUPINFOW startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started;
  std::memset(&started, 0, sizeof started);
  // The application name is given, so nothing is searched along the program path;
  // handles are inherited so that redirected standard streams reach the child (the
  // program's own files are never opened inheritable). Normal priority, whatever this
  // program runs at: started with "start /low", it would otherwise hand its idle class
  // on to the encoder it times.
  if (!CreateProcessW(wideProgram, wideCommandLine, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &startup, &started)) {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int32_t>(error) : ERROR_FILE_NOT_FOUND;
  }
  CloseHandle(started.hThread);
  if (waits && tick != nullptr) {
    while (WaitForSingleObject(started.hProcess, static_cast<DWORD>(intervalMs)) == WAIT_TIMEOUT) {
      tick();
    }
  } else if (waits) {
    WaitForSingleObject(started.hProcess, INFINITE);
  }
  CloseHandle(started.hProcess);
  return 0;
}

uint64_t LastProgramPeakMemoryKib() {
  return 0;
}

ShortText GetEnvironmentValue(const ShortText& name) {
  // The block also holds entries such as "=C:=C:\work", the current directory of each
  // drive, which are no variables: an empty name must not find them.
  if (name.empty()) return ShortText();
  char* block = GetEnvironmentStringsA();
  if (block == nullptr) return ShortText();
  ShortText value;
  // Entries are NUL-terminated "name=value" texts; an empty one ends the block.
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
    if (const char* found = ValueOfEntryNamed(entry, name)) {
      value = ShortText(found);
      break;
    }
  }
  FreeEnvironmentStringsA(block);
  return value;
}

std::string_view CommandLineInOem() {
  // GetCommandLineA gives the line in the ANSI set; the program's texts, like what the
  // console shows, are in the console's.
  // A command line holds at most 32767 characters, each at most three bytes in any OEM
  // code page. The buffer is static rather than allocated: the static runtime's
  // operator new is i686 code, which a Pentium cannot run.
  static char line[3 * 32768];
  const int size =
      WideCharToMultiByte(CP_OEMCP, 0, GetCommandLineW(), -1, line, sizeof line, nullptr, nullptr);
  return size > 0 ? std::string_view(line, static_cast<size_t>(size - 1)) : std::string_view();
}

ShortText CommandArgument(int n) {
  return ArgumentOfCommandLine(CommandLineInOem(), n);
}

void ExitProgram(int code) {
  // Console text is written unbuffered, so everything shown is already out.
  ExitProcess(static_cast<UINT>(code));
}

void Pause(int milliseconds) {
  Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0);
}
