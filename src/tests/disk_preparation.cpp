// Disk preparation before a measurement.
#include "tests/disk_preparation.h"

#include "platform/console.h"
#include "platform/process.h"
#include "run/run_state.h"

void PrepareDisks(const ShortText& clip) {
  ConsoleWrite(kPreparingDisks);
  const ShortText& workDir = runState.tempDir;
  RunProgram(runState.comSpec, ShortText("/c ") + workDir + kDefragmentAfterWorkDir);
  RunProgram(runState.comSpec, ShortText("/c ") + workDir + kFlushCacheAfterWorkDir);
  RunProgram(runState.comSpec, ShortText(kReadClipBefore) + clip + kReadClipAfter);
  ConsoleWriteLine(kDisksPrepared);
}
