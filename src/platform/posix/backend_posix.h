// POSIX backend only: pieces that are shared between its files and reached by its tests.
#pragma once

/// Keeps a copy of the program's arguments for CommandArgument.
void SetCommandArguments(int argc, const char* const* argv);

/// The tests' one seam into the process snapshots: the folder they list instead of
/// /proc (numbered folders with a "stat" file each, beside "stat" and "loadavg"). Ends
/// the snapshots taken so far.
void SetProcessFolder(const char* folder);
