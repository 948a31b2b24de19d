// Win32 backend: taking over the process with SetConsoleCtrlHandler, SetErrorMode and
// SetFileApisToOEM.
#include <windows.h>

#include "platform/startup.h"
#include "platform/win32/backend_win32.h"

BOOL WINAPI InterruptHandler(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // At once and from the handler's own thread: no clean-up, no flushing, and no
  // waiting for the main thread to let go of anything it holds.
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;
}

bool StartPlatform(int, char**) {
  // An empty floppy or CD drive probed by the drive search must fail quietly, not
  // stop the run with a dialog that waits for someone to press a button.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // The program's texts are in the console's character set: its arguments (see
  // CommandArgument) and TEMP, which GetEnvironmentStringsA gives in it. File names
  // go to the system in the same set, or a name with a letter such as u-umlaut would
  // name another file.
  SetFileApisToOEM();
  // A parent may have started the program with Ctrl-C ignored; the handler list is
  // made to take it again before the program's own handler is added.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(InterruptHandler, TRUE);
  return true;
}
