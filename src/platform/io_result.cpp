// The pending I/O result: portable, no operating-system calls.
#include "platform/io_result.h"

namespace {
int32_t pendingCode = 0;
}  // namespace

int32_t TakeIoResult() {
  const int32_t code = pendingCode;
  pendingCode = 0;
  return code;
}

bool IoResultPending() {
  return pendingCode != 0;
}

void SetIoResult(int32_t code) {
  pendingCode = code;
}
