// The stand-in encoders' work: real computation over every byte of the source clip, so
// that a measured encoder keeps one processor busy for a time proportional to the clip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// Works `rounds` times over the block (at least once, so that every byte is looked at)
/// and folds it into the digest. The cost grows linearly with size times rounds.
uint64_t WorkOverBlock(const unsigned char* bytes, size_t size, int rounds, uint64_t digest);

/// Reads the host file from start to end in blocks and works over each; false when it
/// cannot be opened or read. `digest` carries on from its value on entry.
bool WorkOverFile(const std::string& hostPath, int rounds, uint64_t& digest);

/// The digest as 16 hexadecimal digits.
std::string DigestText(uint64_t digest);
