// POSIX backend only: taking over the process before the program's logic starts.
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/posix/backend_posix.h"
#include "platform/posix/held_files_posix.h"
#include "platform/posix/host_paths_posix.h"
#include "platform/startup.h"

namespace {

// A relative drive table would move with every change of directory; it is fixed to
// where the program started (and handed on like that to started programs).
void FixDriveTable() {
  const char* drives = getenv("TARSEL_DRIVES");
  if (drives == nullptr || drives[0] == '\0' || drives[0] == '/') return;
  char current[PATH_MAX];
  if (getcwd(current, sizeof current) == nullptr) return;
  const std::string absolute = std::string(current) + "/" + drives;
  setenv("TARSEL_DRIVES", absolute.c_str(), 1);
}

}  // namespace

bool StartPlatform(int argc, char** argv) {
  SetCommandArguments(argc, argv);
  InstallLeaseBreakHandler();
  FixDriveTable();
  std::string current;
  if (!CurrentWindowsDirectory(current)) {
    // Every relative name the program uses would lead nowhere, and what it deletes
    // must never be guessed: nothing runs.
    static constexpr char kMessage[] =
        "The current directory lies on no drive (see TARSEL_DRIVES); nothing was run.\n";
    ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    (void)ignored;
    return false;
  }
  return true;
}
