// Win32 backend: whole command-line arguments, for programs that take paths longer
// than a short text. A file of its own, so that only programs that use it link the
// runtime's string allocation.
#include <string>

#include "platform/process.h"
#include "platform/win32/command_line_win32.h"

std::string WholeCommandArgument(int n) {
  std::string argument;
  ScanArgumentOfCommandLine(
      CommandLineInOem(), n,
      [](char c, void* context) { static_cast<std::string*>(context)->push_back(c); }, &argument);
  return argument;
}
