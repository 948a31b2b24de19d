// Files as the stand-ins use them: whole host files read and written with the C
// library, sparse outputs, the machine's controls and its event log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Reads a whole host file; false when it cannot be read.
bool ReadHostFile(const std::string& hostPath, std::string& contents);

/// Creates or replaces a host file with the bytes; false on any failure.
bool WriteHostFile(const std::string& hostPath, std::string_view contents);

/// Creates or replaces a host file of `size` bytes: `head` (cut to the size) at its
/// start and zero bytes after it, written as a hole where the file system allows.
bool WriteSparseHostFile(const std::string& hostPath, int64_t size, std::string_view head);

/// Copies a host file, keeping its execute permission; false on any failure.
bool CopyHostFile(const std::string& sourceHost, const std::string& targetHost);

/// Reads a host file once from start to end and forgets the bytes; false when it
/// cannot be opened or read.
bool ReadThroughHostFile(const std::string& hostPath);

/// Appends one line (with "\n") to a host file, creating it.
bool AppendHostLine(const std::string& hostPath, std::string_view line);

/// The value of "name=value" in the machine's controls file ("controls.ini" of the
/// machine folder), or `fallback` when the file, the name or its value is missing.
std::string ReadControl(std::string_view name, std::string_view fallback = {});

/// Appends "role<TAB>current directory<TAB>argument text" to the machine's event log
/// ("events.log" of the machine folder), so that tests can tell what ran where.
void RecordEvent(std::string_view role, std::string_view arguments);
