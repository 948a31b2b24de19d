// The small outside programs of the simulated machine: portable through the platform
// layer and host_access.h.
#include "small_tools.h"

#include <cstdio>
#include <vector>

#include "command_text.h"
#include "host_access.h"
#include "platform/directories.h"
#include "registry_file.h"
#include "standin_files.h"

namespace {

// The entries of a directory search, "." and ".." left out.
std::vector<DirectoryEntry> ListEntries(const std::string& pattern) {
  std::vector<DirectoryEntry> entries;
  DirectorySearch search;
  DirectoryEntry entry;
  for (int32_t code = FindFirstEntry(pattern, kEveryEntry, search, entry); code == 0;
       code = FindNextEntry(search, entry)) {
    if (entry.name != ShortText(".") && entry.name != ShortText("..")) entries.push_back(entry);
  }
  EndSearch(search);
  return entries;
}

bool IsDirectoryEntry(const DirectoryEntry& entry) {
  return (entry.attributes & kAttributeDirectory) != 0;
}

int CountFiles(const std::string& directory, const std::string& pattern, bool subdirectories) {
  int count = 0;
  for (const DirectoryEntry& entry : ListEntries(JoinWindowsPath(directory, pattern))) {
    if (!IsDirectoryEntry(entry)) ++count;
  }
  if (!subdirectories) return count;
  for (const DirectoryEntry& entry : ListEntries(JoinWindowsPath(directory, "*.*"))) {
    if (IsDirectoryEntry(entry) && !entry.leavesTree) {
      count += CountFiles(JoinWindowsPath(directory, entry.name.c_str()), pattern, true);
    }
  }
  return count;
}

// Copies what matches `pattern` in `source` into `target`; returns the number copied
// or -1 after a failure.
int CopyTree(const std::string& source, const std::string& pattern, const std::string& target,
             bool subdirectories) {
  int copied = 0;
  for (const DirectoryEntry& entry : ListEntries(JoinWindowsPath(source, pattern))) {
    if (IsDirectoryEntry(entry)) continue;
    const std::string from = JoinWindowsPath(source, entry.name.c_str());
    const std::string to = JoinWindowsPath(target, entry.name.c_str());
    if (!MakeHostDirectories(HostPath(target)) || !CopyHostFile(HostPath(from), HostPath(to))) {
      std::printf("File creation error - %s\n", to.c_str());
      return -1;
    }
    std::printf("%s\n", from.c_str());
    ++copied;
  }
  if (!subdirectories) return copied;
  for (const DirectoryEntry& entry : ListEntries(JoinWindowsPath(source, "*.*"))) {
    if (!IsDirectoryEntry(entry) || entry.leavesTree) continue;
    const int inside = CopyTree(JoinWindowsPath(source, entry.name.c_str()), pattern,
                                JoinWindowsPath(target, entry.name.c_str()), true);
    if (inside < 0) return -1;
    copied += inside;
  }
  return copied;
}

}  // namespace

int RunContig(const std::string& arguments) {
  bool subdirectories = false;
  std::string pattern;
  for (const std::string& item : SplitArguments(arguments)) {
    const std::string lowered = LowerAscii(item);
    if (lowered == "-s") {
      subdirectories = true;
    } else if (lowered != "-q" && lowered != "-v" && lowered != "-a") {
      pattern = item;
    }
  }
  if (pattern.empty()) {
    std::printf("Usage: contig [-s] [-q] PATTERN\n");
    return 1;
  }
  const int files = CountFiles(DirectoryOf(pattern), BaseName(pattern), subdirectories);
  std::printf("Contig (simulated machine)\n\nSummary:\n");
  std::printf("     Number of files processed   : %d\n", files);
  std::printf("     Number of files defragmented: %d\n", files);
  std::printf("     Average fragmentation       : 1 frags/file\n");
  return 0;
}

int RunSync(const std::string&) {
  std::printf("Sync (simulated machine)\n\nFlushing all drives\n");
  std::fflush(stdout);
  FlushFileSystems();
  return 0;
}

int RunRegistryEditor(const std::string& arguments) {
  std::string_view text = TrimBlanks(arguments);
  // "/s" imports silently; the stand-in never asks, so it only has to be skipped.
  while (text.size() >= 2 && text[0] == '/' && (text.size() == 2 || text[2] == ' ')) {
    text = TrimBlanks(text.substr(2));
  }
  std::string path(text);
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
    path = path.substr(1, path.size() - 2);
  std::string imported;
  std::string current;
  RegistryContents registry;
  std::string error;
  if (!ReadHostFile(HostPath(path), imported)) {
    std::fprintf(stderr, "regedit: cannot open \"%s\"\n", path.c_str());
    return 1;
  }
  const std::string registryFile = MachineFile("registry.reg");
  if (ReadHostFile(registryFile, current) && !ImportRegistryText(current, registry, error)) {
    std::fprintf(stderr, "regedit: the registry is damaged: %s\n", error.c_str());
    return 1;
  }
  if (!ImportRegistryText(imported, registry, error)) {
    std::fprintf(stderr, "regedit: \"%s\": %s\n", path.c_str(), error.c_str());
    return 1;
  }
  if (!WriteHostFile(registryFile, ExportRegistryText(registry))) {
    std::fprintf(stderr, "regedit: cannot write the registry\n");
    return 1;
  }
  return 0;
}

int RunXcopy(const std::string& arguments) {
  std::vector<std::string> names;
  bool subdirectories = false;
  for (const std::string& item : SplitArguments(arguments)) {
    const std::string lowered = LowerAscii(item);
    if (lowered == "/s" || lowered == "/e") {
      subdirectories = true;
    } else if (lowered.size() < 2 || lowered[0] != '/') {
      names.push_back(item);
    }
  }
  if (names.size() != 2) {
    std::printf("Invalid number of parameters\n");
    return 4;
  }
  if (ReadControl("xcopy.fail") == "1") {
    std::printf("Insufficient memory\n");
    return 4;
  }
  const std::string& source = names[0];
  const bool sourceIsDirectory =
      source.back() == '\\' || source.back() == '/' || IsHostDirectory(HostPath(source));
  const std::string directory = sourceIsDirectory ? source : DirectoryOf(source);
  const std::string pattern = sourceIsDirectory ? "*.*" : BaseName(source);
  const int copied = CopyTree(directory, pattern, names[1], subdirectories);
  if (copied < 0) return 4;
  std::printf("%d File(s) copied\n", copied);
  return copied > 0 ? 0 : 1;
}

int RunProCoderHelper(const std::string& arguments) {
  std::string_view text = TrimBlanks(arguments);
  while (!text.empty() && text.front() == '/') {
    size_t end = 0;
    while (end < text.size() && text[end] != ' ') ++end;
    text = TrimBlanks(text.substr(end));
  }
  if (!IsHostFile(HostPath(text))) {
    std::printf("006: cannot find \"%s\"\n", std::string(text).c_str());
    return 1;
  }
  return 0;
}

int RunLauncher(const std::string& arguments) {
  std::string settings;
  if (!ReadHostFile(MachineFile("environment.ini"), settings)) {
    std::fprintf(stderr, "launch: no environment.ini in the machine folder (TARSEL_TESTBED)\n");
    return 1;
  }
  std::string_view rest(settings);
  while (!rest.empty()) {
    const std::string_view line = TakeTrimmedLine(rest);
    const size_t equals = line.find('=');
    if (line.empty() || line.front() == ';') continue;
    // A name alone removes the variable, one that Wine sets itself above all.
    if (equals == std::string_view::npos) {
      RemoveEnvironmentValue(std::string(line));
      continue;
    }
    SetEnvironmentValue(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
  }
  const ProgramCall call = SplitProgramCall(
      arguments, [](const std::string& path) { return IsHostFile(HostPath(path)); });
  int status = 1;
  if (!RunAndWaitForStatus(call.program, call.arguments, status)) {
    std::fprintf(stderr, "launch: cannot start \"%s\"\n", call.program.c_str());
    return 1;
  }
  return status;
}

int RunTextEditor(const std::string&) {
  return 0;
}
