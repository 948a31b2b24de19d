// A test pack run as a program: portable through host_access.h.
#include "self_extractor.h"

#include <cstdio>

#include "command_text.h"
#include "host_access.h"
#include "pack_format.h"
#include "standin_files.h"

bool ReadOwnPack(std::string& pack) {
  const std::string self = OwnExecutablePath();
  std::FILE* stream = std::fopen(self.c_str(), "rb");
  if (stream == nullptr) return false;
  // Most stand-ins are no packs: look at the trailer before reading the whole file.
  char trailer[kPackTrailerSize];
  bool isPack = false;
  if (std::fseek(stream, 0, SEEK_END) == 0) {
    const long size = std::ftell(stream);
    if (size >= static_cast<long>(kPackTrailerSize) &&
        std::fseek(stream, size - static_cast<long>(kPackTrailerSize), SEEK_SET) == 0 &&
        std::fread(trailer, 1, sizeof trailer, stream) == sizeof trailer) {
      isPack =
          IsPackTrailer(std::string_view(trailer, sizeof trailer), static_cast<uint64_t>(size));
    }
  }
  std::fclose(stream);
  return isPack && ReadHostFile(self, pack);
}

int RunSelfExtractor(const std::string& pack, const std::string& arguments) {
  std::string password;
  bool overwrite = false;
  for (const std::string& item : SplitArguments(arguments)) {
    if (item.size() >= 2 && (item.compare(0, 2, "-p") == 0 || item.compare(0, 2, "-P") == 0)) {
      password = item.substr(2);
    } else if (LowerAscii(item) == "-y") {
      overwrite = true;
    }
  }
  std::printf("Self-extracting test pack (simulated machine)\n\n");
  std::vector<PackEntry> entries;
  switch (OpenPack(pack, password, entries)) {
    case PackOpening::Opened:
      break;
    case PackOpening::WrongPasswordOrDamaged:
      std::printf("Wrong password or damaged pack: nothing extracted\n");
      return 2;
    case PackOpening::NotAPack:
    case PackOpening::Malformed:
      std::printf("The pack is damaged: nothing extracted\n");
      return 2;
  }
  int status = 0;
  for (const PackEntry& entry : entries) {
    const std::string directory = DirectoryOf(entry.name);
    if (!directory.empty()) MakeHostDirectories(HostPath(directory));
    const std::string host = HostPath(entry.name);
    if (!overwrite && IsHostFile(host)) {
      std::printf("Skipping   %s (exists; -y overwrites)\n", entry.name.c_str());
      continue;
    }
    if (!WriteHostFile(host, entry.data) || (entry.executable && !MarkExecutable(host))) {
      std::printf("Cannot write %s\n", entry.name.c_str());
      status = 2;
      continue;
    }
    std::printf("Extracting %s\n", entry.name.c_str());
  }
  if (status == 0) std::printf("\nEverything is Ok\n");
  return status;
}
