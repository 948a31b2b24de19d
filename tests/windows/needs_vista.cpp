// A program that imports GetTickCount64, which Windows 2000 lacks: the import check
// must refuse it (scripts/test-windows.sh builds it and expects the check to fail).
#include <windows.h>

int main() {
  return static_cast<int>(GetTickCount64() & 1);
}
