// Says which Windows version the test process sees, so that a run's output shows the
// version its Wine prefix was set to (5.0 for Windows 2000, 5.1 for XP).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class WindowsVersionReport : public ::testing::Environment {
 public:
  void SetUp() override {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    std::printf("Windows version seen: %lu.%lu (build %lu)\n", version.dwMajorVersion,
                version.dwMinorVersion, version.dwBuildNumber);
  }
};

::testing::Environment* const kReport =
    ::testing::AddGlobalTestEnvironment(new WindowsVersionReport);

}  // namespace
