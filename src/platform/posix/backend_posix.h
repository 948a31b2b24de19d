// POSIX backend only: pieces that are shared between its files and reached by its tests.
#pragma once

/// Keeps a copy of the program's arguments for CommandArgument.
void SetCommandArguments(int argc, const char* const* argv);
