// For unit tests only: a scoped temporary folder that is the current directory during
// one test, and small file helpers. Portable: standard library and GoogleTest only.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/io_result.h"

/// Makes `path` a file of `size` bytes without writing them: sparse where the volume
/// allows it. Returns an empty text when the file is there, else why it cannot be
/// made here, for the caller to skip with: a FAT volume holds no file of 4 GiB, and
/// one without sparse files would need the whole size free. One definition per
/// backend (test_support_win32.cpp, test_support_posix.cpp).
std::string MakeSparseFile(const std::string& path, std::uintmax_t size);

/// Whether the tests run under qemu-user, as the Windows checks say with
/// TARSEL_I386_EMULATED=1: every process start then costs most of a minute, and a
/// request to Wine's mount manager now and then never returns (docs/windows.md).
inline bool UnderI386Emulation() {
  const char* value = std::getenv("TARSEL_I386_EMULATED");
  return value != nullptr && std::string(value) == "1";
}

/// A fresh folder under the system's temporary directory, made the current directory
/// for the fixture's lifetime and removed with everything in it afterwards. The pending
/// I/O result starts and ends at 0.
class TempFolderTest : public ::testing::Test {
 public:
  /// Writes the bytes to a file, creating or replacing it.
  static void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  /// Creates or replaces a file of `size` zero bytes by writing its last byte past the
  /// end. Not std::filesystem::resize_file: on Windows that asks the volume for its free
  /// space first, through a device request of Wine's that hangs now and then when Wine
  /// itself runs under qemu-user (docs/windows.md).
  static void MakeSizedFile(const std::filesystem::path& path, std::uintmax_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size == 0) return;
    out.seekp(static_cast<std::streamoff>(size - 1));
    out.put('\0');
  }

  /// The whole content of a file; empty when it cannot be read.
  static std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 protected:
  void SetUp() override {
    savedDirectory_ = std::filesystem::current_path();
    std::random_device random;
    do {
      folder_ = std::filesystem::temp_directory_path() /
                ("tarsel-platform-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(folder_));
    // The temporary directory may be reached through a link; tests compare real paths.
    folder_ = std::filesystem::canonical(folder_);
    std::filesystem::current_path(folder_);
    TakeIoResult();
  }

  void TearDown() override {
    TakeIoResult();
    std::filesystem::current_path(savedDirectory_);
    std::error_code ignored;
    // Read-only files inside must not keep the folder alive.
    for (auto it = std::filesystem::recursive_directory_iterator(folder_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (!it->is_symlink(ignored)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
      }
    }
    std::filesystem::remove_all(folder_, ignored);
  }

  const std::filesystem::path& folder() const { return folder_; }

 private:
  std::filesystem::path savedDirectory_;
  std::filesystem::path folder_;
};
