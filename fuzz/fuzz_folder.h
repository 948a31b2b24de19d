// For the fuzz targets: a private folder in which each input is written as a file
// and read back through the text-file operations. The current directory stays as it
// was, so corpus folders may be given as relative paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/directories.h"
#include "platform/short_text.h"
#include "platform/startup.h"

struct FuzzFolder {
  std::filesystem::path host;
  ShortText text;  ///< the same folder as the program names it ("C:\...")
};

inline FuzzFolder& TheFuzzFolder() {
  static FuzzFolder folder;
  return folder;
}

/// Takes over the process as the program does, and makes a new folder below the
/// temporary directory; the folder is removed when the fuzzer ends.
inline void MakeFuzzFolder(int* argc, char*** argv) {
  if (!StartPlatform(*argc, *argv)) std::abort();
  FuzzFolder& folder = TheFuzzFolder();
  std::random_device random;
  do {
    folder.host = std::filesystem::temp_directory_path() /
                  ("tarsel-fuzz-" + std::to_string(random()) + std::to_string(random()));
  } while (!std::filesystem::create_directory(folder.host));
  const std::filesystem::path current = std::filesystem::current_path();
  std::filesystem::current_path(folder.host);
  folder.text = GetCurrentDirectoryPath();
  std::filesystem::current_path(current);
  if (folder.text.empty()) std::abort();
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(TheFuzzFolder().host, ignored);
  });
}

/// Writes the input as the file `name` in the fuzz folder and returns its path as the
/// program names it.
inline ShortText WriteInput(const char* name, const uint8_t* data, size_t size) {
  const FuzzFolder& folder = TheFuzzFolder();
  std::ofstream(folder.host / name, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return folder.text + "\\" + name;
}
