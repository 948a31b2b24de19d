// Every file in a folder and its subfolders, links followed where they do not lead
// back into the walk.
#pragma once

#include <cstdint>
#include <string_view>

/// What a walk left out, each counted.
struct TreeWalkSkips {
  int loops = 0;       ///< folders (reached through a link) that the walk is already in
  int tooLong = 0;     ///< files and folders whose path is longer than kLongestPath
  int unreadable = 0;  ///< folders that cannot be listed or asked for their identity
};

/// Called for every file found: its whole path (the root, then the names below it
/// separated by "\") and the length of the root's part of it, separator included.
using TreeFileVisitor = void (*)(std::string_view path, int rootLength, void* context);

/// Walks the folder `root` and every folder below it, depth first, entries in the
/// order the system lists them. A folder that is one of the folders the walk is
/// already inside (a link to an ancestor or to the folder itself) is skipped; so is
/// every path longer than the system's calls take (kLongestPath). False, with nothing
/// visited, when the root itself is no folder that can be listed.
bool WalkTree(std::string_view root, TreeFileVisitor visitor, void* context, TreeWalkSkips& skips);
