// The stand-in encoders' work: portable, no operating-system calls.
#include "clip_work.h"

#include <cstdio>
#include <cstring>
#include <vector>

uint64_t WorkOverBlock(const unsigned char* bytes, size_t size, int rounds, uint64_t digest) {
  if (rounds < 1) rounds = 1;
  for (int round = 0; round < rounds; ++round) {
    // Each word feeds the next multiplication, so no round can be skipped or merged.
    uint64_t state = digest ^ (0x9E3779B97F4A7C15ull * static_cast<uint64_t>(round + 1));
    size_t at = 0;
    for (; at + 8 <= size; at += 8) {
      uint64_t word;
      std::memcpy(&word, bytes + at, sizeof word);
      state = (state ^ word) * 0xFF51AFD7ED558CCDull;
      state ^= state >> 29;
    }
    for (; at < size; ++at) state = (state ^ bytes[at]) * 0x100000001B3ull;
    digest = state;
  }
  return digest;
}

bool WorkOverFile(const std::string& hostPath, int rounds, uint64_t& digest) {
  std::FILE* stream = std::fopen(hostPath.c_str(), "rb");
  if (stream == nullptr) return false;
  std::vector<unsigned char> block(1 << 16);
  size_t got;
  while ((got = std::fread(block.data(), 1, block.size(), stream)) > 0) {
    digest = WorkOverBlock(block.data(), got, rounds, digest);
  }
  const bool complete = std::ferror(stream) == 0;
  std::fclose(stream);
  return complete;
}

std::string DigestText(uint64_t digest) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
  return text;
}
