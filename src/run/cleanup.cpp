// Removing what runs and tests leave on disk.
#include "run/cleanup.h"

#include "platform/directories.h"
#include "platform/process.h"
#include "platform/short_text.h"
#include "run/run_state.h"

void DeleteTestOutputs() {
  if (runState.debugMode) return;
  for (std::string_view name : kTestOutputNames) RemoveFile(ShortText(name));
}

void DeletePackContents() {
  // An unset TEMP would turn "\timer.exe" and the rest into files in the root of
  // the current drive, which belong to somebody else.
  if (runState.tempDir.empty()) return;
  for (std::string_view name : kPackContentNames) {
    RemoveFile(runState.tempDir + "\\" + ShortText(name));
  }
}

void RemoveScratchDirectoryIfPresent() {
  // Return to the start directory even when the probe fails: the caller may stand
  // in the pack or work directory, and the relative names it deletes next belong
  // in the start directory. Without a known start directory, return to where we
  // stand, never stay inside the scratch directory.
  const ShortText returnTo =
      runState.startDir.empty() ? GetCurrentDirectoryPath() : runState.startDir;
  const bool present = ChangeDirectory(kScratchDirectory);
  ChangeDirectory(returnTo);
  if (present) RunProgram(runState.comSpec, kRemoveScratchDirectoryCommand);
}
