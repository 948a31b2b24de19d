// Failures of writes and closes arranged by tests: portable, over the backend's file
// handles.
#include "platform/file_faults.h"

#include <algorithm>

#include "platform/file_handles.h"

namespace {

struct Faults {
  bool armed = false;  ///< whether anything below is arranged at all
  bool writesFail = false;
  int writesBeforeFailure = 0;
  int32_t bytesThatLand = 0;
  int32_t writeCode = 0;
  bool closeFails = false;
  int32_t closeCode = 0;
};

Faults faults;

void UpdateArmed() {
  faults.armed = faults.writesFail || faults.closeFails;
}

}  // namespace

void FailWritesFrom(int nth, int32_t bytesThatLand, int32_t code) {
  faults.writesFail = true;
  faults.writesBeforeFailure = std::max(0, nth - 1);
  faults.bytesThatLand = std::max(0, bytesThatLand);
  faults.writeCode = code;
  UpdateArmed();
}

void FailNextClose(int32_t code) {
  faults.closeFails = true;
  faults.closeCode = code;
  UpdateArmed();
}

void ClearFileFaults() {
  faults = Faults{};
}

int32_t WriteThroughFaults(FileHandle handle, const char* bytes, int32_t count) {
  if (!faults.armed || !faults.writesFail) return WriteHandle(handle, bytes, count);
  if (faults.writesBeforeFailure > 0) {
    --faults.writesBeforeFailure;
    return WriteHandle(handle, bytes, count);
  }
  // Only the first failing write lands anything: after it the disk is full.
  const int32_t landing = std::min(faults.bytesThatLand, count);
  faults.bytesThatLand = 0;
  if (landing > 0) WriteHandle(handle, bytes, landing);
  return faults.writeCode;
}

int32_t CloseThroughFaults(FileHandle handle, bool written) {
  if (!faults.armed || !faults.closeFails || !written) return CloseHandleOf(handle);
  faults.closeFails = false;
  UpdateArmed();
  // The handle must not outlive the failure, or the file could never be deleted.
  CloseHandleOf(handle);
  return faults.closeCode;
}
