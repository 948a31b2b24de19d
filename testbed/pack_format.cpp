// The self-extracting test packs: portable, no operating-system calls.
#include "pack_format.h"

#include "platform/text_hash.h"

#include <cstring>

namespace {

constexpr char kTrailerMagic[8] = {'T', 'A', 'R', 'S', 'E', 'L', 'S', 'X'};
constexpr char kPayloadMagic[4] = {'T', 'P', 'K', '1'};

// The keystream that hides the payload: xorshift64* seeded from the password. This is a
// seal against the wrong password, not protection against an attacker.
class KeyStream {
 public:
  explicit KeyStream(std::string_view password) : state_(HashBytes(password) | 1) {}
  void Apply(std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (i % 8 == 0) word_ = Next();
      bytes[i] = static_cast<char>(bytes[i] ^ static_cast<char>(word_ >> (8 * (i % 8))));
    }
  }

 private:
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 2685821657736338717ull;
  }
  uint64_t state_;
  uint64_t word_ = 0;
};

uint64_t CheckValue(std::string_view password, std::string_view plain) {
  return HashBytes(plain, HashBytes(password, HashBytes("tarsel pack check")));
}

void PutNumber(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool GetNumber(std::string_view in, size_t& at, int bytes, uint64_t& value) {
  if (at > in.size() || in.size() - at < static_cast<size_t>(bytes)) return false;
  value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  }
  at += bytes;
  return true;
}

}  // namespace

std::string MakePack(std::string_view stub, const std::vector<PackEntry>& entries,
                     std::string_view password) {
  std::string plain(kPayloadMagic, sizeof kPayloadMagic);
  PutNumber(plain, entries.size(), 4);
  for (const PackEntry& entry : entries) {
    PutNumber(plain, entry.name.size(), 2);
    plain += entry.name;
    PutNumber(plain, entry.executable ? 1 : 0, 1);
    PutNumber(plain, entry.data.size(), 8);
    plain += entry.data;
  }
  const uint64_t check = CheckValue(password, plain);
  KeyStream(password).Apply(plain);

  std::string pack(stub);
  const uint64_t offset = pack.size();
  pack += plain;
  pack.append(kTrailerMagic, sizeof kTrailerMagic);
  PutNumber(pack, offset, 8);
  PutNumber(pack, plain.size(), 8);
  PutNumber(pack, check, 8);
  return pack;
}

bool IsPackTrailer(std::string_view trailer, uint64_t fileSize) {
  if (trailer.size() != kPackTrailerSize) return false;
  if (std::memcmp(trailer.data(), kTrailerMagic, sizeof kTrailerMagic) != 0) return false;
  size_t at = sizeof kTrailerMagic;
  uint64_t offset = 0;
  uint64_t size = 0;
  GetNumber(trailer, at, 8, offset);
  GetNumber(trailer, at, 8, size);
  return fileSize >= kPackTrailerSize && offset <= fileSize - kPackTrailerSize &&
         size == fileSize - kPackTrailerSize - offset;
}

PackOpening OpenPack(std::string_view packFile, std::string_view password,
                     std::vector<PackEntry>& entries) {
  entries.clear();
  if (packFile.size() < kPackTrailerSize) return PackOpening::NotAPack;
  const std::string_view trailer = packFile.substr(packFile.size() - kPackTrailerSize);
  if (!IsPackTrailer(trailer, packFile.size())) return PackOpening::NotAPack;
  size_t at = sizeof kTrailerMagic;
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t check = 0;
  GetNumber(trailer, at, 8, offset);
  GetNumber(trailer, at, 8, size);
  GetNumber(trailer, at, 8, check);

  std::string plain(packFile.substr(offset, size));
  KeyStream(password).Apply(plain);
  if (CheckValue(password, plain) != check) return PackOpening::WrongPasswordOrDamaged;

  const std::string_view in(plain);
  if (in.size() < sizeof kPayloadMagic ||
      std::memcmp(in.data(), kPayloadMagic, sizeof kPayloadMagic) != 0) {
    return PackOpening::Malformed;
  }
  at = sizeof kPayloadMagic;
  uint64_t count = 0;
  if (!GetNumber(in, at, 4, count)) return PackOpening::Malformed;
  std::vector<PackEntry> found;
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t nameLength = 0;
    uint64_t executable = 0;
    uint64_t dataLength = 0;
    if (!GetNumber(in, at, 2, nameLength) || in.size() - at < nameLength) {
      return PackOpening::Malformed;
    }
    PackEntry entry;
    entry.name = std::string(in.substr(at, nameLength));
    at += nameLength;
    if (!GetNumber(in, at, 1, executable) || !GetNumber(in, at, 8, dataLength) ||
        in.size() - at < dataLength || !IsSafeEntryName(entry.name)) {
      return PackOpening::Malformed;
    }
    entry.executable = executable != 0;
    entry.data = std::string(in.substr(at, dataLength));
    at += dataLength;
    found.push_back(std::move(entry));
  }
  if (at != in.size()) return PackOpening::Malformed;
  entries = std::move(found);
  return PackOpening::Opened;
}

std::string MakeFileList(const std::vector<PackEntry>& entries,
                         const std::set<std::string>& presenceOnly) {
  std::string list;
  for (const PackEntry& entry : entries) {
    const bool presence = presenceOnly.count(entry.name) != 0;
    list += std::to_string(presence ? 0 : entry.data.size());
    list += "\r\n";
    list += entry.name;
    list += "\r\n";
  }
  return list;
}

bool IsSafeEntryName(std::string_view name) {
  if (name.empty() || name.front() == '\\' || name.front() == '/') return false;
  if (name.find(':') != std::string_view::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    for (const char c : part) {
      if (static_cast<unsigned char>(c) < 32) return false;
    }
    start = end + 1;
  }
  return true;
}
