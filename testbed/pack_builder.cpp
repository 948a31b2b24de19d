// The pack builder: host tool, built on std::filesystem.
#include "pack_builder.h"

#include <algorithm>
#include <filesystem>

#include "pack_format.h"
#include "standin_files.h"

namespace fs = std::filesystem;

bool BuildPackFromFolder(const std::string& folder, const std::string& stubPath,
                         const std::string& packPath, std::string_view password,
                         const std::set<std::string>& presenceOnly, std::string& error) {
  std::string stub;
  if (!ReadHostFile(stubPath, stub)) {
    error = "cannot read the extractor " + stubPath;
    return false;
  }
  std::error_code failure;
  std::vector<PackEntry> entries;
  bool hasList = false;
  for (fs::recursive_directory_iterator it(folder, failure), end; !failure && it != end;
       it.increment(failure)) {
    if (!it->is_regular_file(failure)) continue;
    PackEntry entry;
    std::string name = fs::relative(it->path(), folder, failure).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    entry.name = name;
    const fs::perms permissions = fs::status(it->path(), failure).permissions();
    entry.executable = (permissions & fs::perms::owner_exec) != fs::perms::none;
    if (!ReadHostFile(it->path().string(), entry.data)) {
      error = "cannot read " + it->path().string();
      return false;
    }
    if (name == "files.dat") hasList = true;
    entries.push_back(std::move(entry));
  }
  if (failure) {
    error = "cannot list " + folder + ": " + failure.message();
    return false;
  }
  std::sort(entries.begin(), entries.end(),
            [](const PackEntry& a, const PackEntry& b) { return a.name < b.name; });
  if (!hasList) {
    PackEntry list;
    list.name = "files.dat";
    list.data = MakeFileList(entries, presenceOnly);
    entries.push_back(std::move(list));
  }
  if (!WriteHostFile(packPath, MakePack(stub, entries, password))) {
    error = "cannot write " + packPath;
    return false;
  }
  fs::permissions(packPath, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add, failure);
  return true;
}
