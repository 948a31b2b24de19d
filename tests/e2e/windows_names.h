// Finding a name in a host folder as Windows finds it.
#pragma once

#include <filesystem>
#include <string>

/// The entry of `folder` named `name`: in that spelling, or else one that differs only
/// in the case of its letters; empty when there is none.
std::filesystem::path FindEntry(const std::filesystem::path& folder, const std::string& name);
