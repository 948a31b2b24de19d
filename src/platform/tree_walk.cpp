// Every file below a folder, on top of the directory search.
#include "platform/tree_walk.h"

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

bool EndsWithSeparator(const ShortText& path) {
  if (path.empty()) return false;
  const char last = path[path.length() - 1];
  return last == '\\' || last == '/' || last == ':';
}

bool IsInside(const Walk& walk, const FileFacts& folder) {
  for (const FileFacts& ancestor : walk.inside) {
    if (SameFile(ancestor, folder)) return true;
  }
  return false;
}

// `folder` ends with a separator (or is a drive's "X:").
void WalkFolder(Walk& walk, const ShortText& folder) {
  if (folder.length() + 3 > ShortText::kCapacity) {
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
    if (folder.length() + entry.name.length() + (isFolder ? 1 : 0) > ShortText::kCapacity) {
      ++walk.skips.tooLong;
      continue;
    }
    const ShortText path = folder + entry.name;
    if (!isFolder) {
      walk.visitor(path, walk.rootLength, walk.context);
      continue;
    }
    FileFacts facts;
    if (!ReadFileFacts(path, facts)) {
      ++walk.skips.unreadable;
    } else if (IsInside(walk, facts)) {
      ++walk.skips.loops;
    } else {
      walk.inside.push_back(facts);
      WalkFolder(walk, path + "\\");
      walk.inside.pop_back();
    }
  }
  EndSearch(search);
}

}  // namespace

bool WalkTree(const ShortText& root, TreeFileVisitor visitor, void* context, TreeWalkSkips& skips) {
  FileFacts facts;
  if (!ReadFileFacts(root, facts) || !facts.isDirectory) return false;
  if (!EndsWithSeparator(root) && root.length() >= ShortText::kCapacity) {
    ++skips.tooLong;
    return false;
  }
  const ShortText folder = EndsWithSeparator(root) ? root : root + "\\";
  DirectorySearch probe;
  DirectoryEntry first;
  if (FindFirstEntry(folder + "*.*", kEveryEntry, probe, first) != 0) return false;
  EndSearch(probe);
  Walk walk{visitor, context, folder.length(), skips, {facts}};
  WalkFolder(walk, folder);
  return true;
}
