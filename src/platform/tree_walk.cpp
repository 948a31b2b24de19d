// Every file below a folder, on top of the directory search.
#include "platform/tree_walk.h"

#include <string>
#include <vector>

#include "platform/directories.h"
#include "platform/file_facts.h"

namespace {

struct Walk {
  TreeFileVisitor visitor;
  void* context;
  int rootLength;
  TreeWalkSkips& skips;
  std::vector<FileFacts> inside;  ///< the folders the walk is in, outermost first
};

bool IsDots(const ShortText& name) {
  return name == ShortText(".") || name == ShortText("..");
}

bool EndsWithSeparator(std::string_view path) {
  if (path.empty()) return false;
  const char last = path.back();
  return last == '\\' || last == '/' || last == ':';
}

bool IsInside(const Walk& walk, const FileFacts& folder) {
  for (const FileFacts& ancestor : walk.inside) {
    if (SameFile(ancestor, folder)) return true;
  }
  return false;
}

bool Fits(size_t length) {
  return length <= static_cast<size_t>(kLongestPath);
}

// `folder` ends with a separator (or is a drive's "X:").
void WalkFolder(Walk& walk, std::string& folder) {
  const size_t folderLength = folder.size();
  if (!Fits(folderLength + 3)) {
    ++walk.skips.tooLong;
    return;
  }
  DirectorySearch search;
  DirectoryEntry entry;
  for (int32_t code = FindFirstEntry(folder + "*.*", kEveryEntry, search, entry); code == 0;
       code = FindNextEntry(search, entry)) {
    if (IsDots(entry.name)) continue;
    // A folder's path gets its separator too, so it must fit with it.
    const bool isFolder = (entry.attributes & kAttributeDirectory) != 0;
    if (!Fits(folderLength + static_cast<size_t>(entry.name.length()) + (isFolder ? 1 : 0))) {
      ++walk.skips.tooLong;
      continue;
    }
    // The path is built in `folder` itself and taken off again.
    folder.append(entry.name.view());
    if (!isFolder) {
      walk.visitor(folder, walk.rootLength, walk.context);
    } else {
      FileFacts facts;
      if (!ReadFileFacts(folder, facts)) {
        ++walk.skips.unreadable;
      } else if (IsInside(walk, facts)) {
        ++walk.skips.loops;
      } else {
        walk.inside.push_back(facts);
        folder += '\\';
        WalkFolder(walk, folder);
        walk.inside.pop_back();
      }
    }
    folder.resize(folderLength);
  }
  EndSearch(search);
}

}  // namespace

bool WalkTree(std::string_view root, TreeFileVisitor visitor, void* context, TreeWalkSkips& skips) {
  FileFacts facts;
  if (!ReadFileFacts(root, facts) || !facts.isDirectory) return false;
  std::string folder(root);
  if (!EndsWithSeparator(folder)) folder += '\\';
  if (!Fits(folder.size())) {
    ++skips.tooLong;
    return false;
  }
  DirectorySearch probe;
  DirectoryEntry first;
  if (FindFirstEntry(folder + "*.*", kEveryEntry, probe, first) != 0) return false;
  EndSearch(probe);
  Walk walk{visitor, context, static_cast<int>(folder.size()), skips, {facts}};
  WalkFolder(walk, folder);
  return true;
}
