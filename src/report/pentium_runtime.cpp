// The 32-bit report program's own copies of the few C++ runtime pieces that its
// containers reach: the prebuilt runtime is i686 code (cmov), which a Pentium cannot run
// (tests/windows/check_i586.py). Built for i586 with the program and linked before the
// runtime, so the runtime's copies stay out. No failure is ever thrown: running out of
// memory or a container's length limit ends the program, as exceptions are off anyway.
// Only the 32-bit Windows build takes this file (CMakeLists.txt).
#include <cstdlib>
#include <new>

#include "platform/byte_output.h"
#include "platform/process.h"

namespace {

[[noreturn]] void OutOfLimits() {
  static const char kMessage[] = "tarsel-report: out of memory\r\n";
  ByteOutput error;
  UseStandardStream(error, StandardStream::Error);
  WriteOutput(error, kMessage, sizeof kMessage - 1);
  ExitProgram(3);
}

}  // namespace

void* operator new(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) OutOfLimits();
  return block;
}

void operator delete(void* block) noexcept {
  std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

namespace std {
void __throw_bad_alloc() {
  OutOfLimits();
}
void __throw_bad_array_new_length() {
  OutOfLimits();
}
void __throw_length_error(const char*) {
  OutOfLimits();
}
void __throw_logic_error(const char*) {
  OutOfLimits();
}
void __throw_out_of_range_fmt(const char*, ...) {
  OutOfLimits();
}
}  // namespace std
