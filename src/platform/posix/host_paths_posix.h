// POSIX backend only: drive letters from TARSEL_DRIVES, and Windows path texts mapped to
// host paths and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// A full Windows path taken apart: the drive letter ('A' to 'Z') and the parts after
/// the root, with repeated separators folded and "." and ".." already resolved.
struct WindowsPath {
  char drive = 0;
  std::vector<std::string> parts;
};

/// The host directory that is the root of drive `letter` (either case). With
/// TARSEL_DRIVES set (and not empty) it is the entry "x:" of that directory when that is
/// a directory or a link to one; without it only C: exists, as "/". False when the
/// drive does not exist.
bool DriveRoot(char letter, std::string& root);

/// The host's current directory as a Windows path ("D:\", "D:\work\run"): the drive
/// whose root, links resolved, is the longest prefix of it gives the letter (on a tie
/// the earliest letter). False when it lies on no drive or cannot be read.
bool CurrentWindowsDirectory(std::string& path);

/// Makes a Windows path text full: "X:\a" is on drive X, "\a" on the current drive,
/// "X:a" relative to the current directory when X is the current drive and to X's
/// root otherwise, anything else relative to the current directory. "\" and "/" both
/// separate; ".." never climbs above the root. False when the text holds a NUL byte
/// or needs a current directory that lies on no drive.
bool ResolveWindowsPath(std::string_view text, WindowsPath& path);

/// The host path of a full Windows path. A part that does not exist with exactly its
/// spelling is replaced by the first entry of its directory that differs only in the
/// case of A-Z; when there is none, the part stays as written (so that a new file gets
/// the spelling it was given). False when the drive does not exist.
bool HostPathOf(const WindowsPath& path, std::string& host);

/// ResolveWindowsPath and HostPathOf together.
bool MapToHostPath(std::string_view text, std::string& host);

/// Windows file-name wildcards: "*" any run of characters, "?" any one character,
/// A-Z in either case; a pattern ending in ".*" also matches the name without that
/// ending, so "*.*" matches every name and "test.*" matches "test".
bool MatchesWildcard(std::string_view pattern, std::string_view name);

/// The pending I/O code for an errno value of a failed file operation: 2 file not
/// found, 3 path not found, 5 access denied, 32 sharing violation, otherwise the errno
/// value itself. For ENOENT the host path tells 2 (its directory exists) from 3.
int32_t IoCodeOfErrno(int error, const std::string& hostPath = std::string());
