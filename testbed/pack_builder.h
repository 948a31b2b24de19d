// The pack builder: turns a folder into a self-extracting test pack (host tool).
#pragma once

#include <set>
#include <string>
#include <string_view>

/// Packs every file under `folder` (names relative to it, "\" separators, in name
/// order) behind the extractor `stubPath` into `packPath`, sealed with `password`.
/// Files with the execute permission are unpacked executable. Unless the folder holds
/// its own "files.dat" (then packed unchanged), a file list of every other file is
/// written into the pack, with 0 as the size of the names in `presenceOnly`. False
/// with a reason on any failure.
bool BuildPackFromFolder(const std::string& folder, const std::string& stubPath,
                         const std::string& packPath, std::string_view password,
                         const std::set<std::string>& presenceOnly, std::string& error);
