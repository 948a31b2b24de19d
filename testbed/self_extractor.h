// A test pack run as a program: it unpacks itself into the current directory.
#pragma once

#include <string>

/// Reads the pack's own file; true and its bytes when it carries a pack trailer.
bool ReadOwnPack(std::string& pack);

/// "-y" (overwrite without asking) and "-pPASSWORD": opens the pack with the password
/// and writes every entry into the current directory. With another password, or a
/// damaged pack, nothing at all is written and the status is 2.
int RunSelfExtractor(const std::string& pack, const std::string& arguments);
