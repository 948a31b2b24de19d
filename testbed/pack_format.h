// The self-extracting test packs: a stand-in executable (the extractor) followed by a
// payload sealed with the pack's password and a fixed-size trailer that finds it.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

/// The password the program gives every test pack ("-p" followed directly by it).
constexpr std::string_view kPackPassword = "vbkwhtdnpo";

/// One file of a pack.
struct PackEntry {
  std::string name;  ///< relative Windows path, "\" separators
  bool executable = false;
  std::string data;
};

/// Bytes of the trailer at the very end of a pack.
constexpr size_t kPackTrailerSize = 32;

/// The whole pack file: the extractor stub, the entries sealed with the password, the
/// trailer. The payload carries a check value of the password and the contents, so
/// that opening it with another password, or after any byte of it changed, fails.
std::string MakePack(std::string_view stub, const std::vector<PackEntry>& entries,
                     std::string_view password);

enum class PackOpening { NotAPack, WrongPasswordOrDamaged, Malformed, Opened };

/// Reads a pack file's entries with the password. Nothing is delivered unless the
/// check value matches and every entry is whole.
PackOpening OpenPack(std::string_view packFile, std::string_view password,
                     std::vector<PackEntry>& entries);

/// True when the last kPackTrailerSize bytes of a file are a pack trailer whose
/// payload fits in a file of `fileSize` bytes.
bool IsPackTrailer(std::string_view trailer, uint64_t fileSize);

/// The file list "files.dat" of the entries, in their order: for each, a line with the
/// size in bytes (0 for a name in `presenceOnly`) and a line with the name, every line
/// ended by CR LF.
std::string MakeFileList(const std::vector<PackEntry>& entries,
                         const std::set<std::string>& presenceOnly);

/// A relative entry name that stays inside the folder it is unpacked into: not empty,
/// no drive, no leading separator, no "." or ".." part, no empty part.
bool IsSafeEntryName(std::string_view name);
