// A small hash index over the positions of a caller's array: finds an element by its
// hash and an equality test. The report's own (not the standard library's), so that the
// 32-bit Windows program brings no prebuilt container code that a Pentium cannot run.
#pragma once

#include <cstdint>
#include <vector>

class HashIndex {
 public:
  /// The position whose element `equal` accepts, among those added with `hash`; -1.
  template <typename Equal>
  int32_t Find(uint64_t hash, Equal equal) const {
    if (slots_.empty()) return -1;
    for (size_t slot = hash & (slots_.size() - 1);; slot = (slot + 1) & (slots_.size() - 1)) {
      if (slots_[slot] < 0) return -1;
      if (hashes_[slot] == hash && equal(slots_[slot])) return slots_[slot];
    }
  }

  /// Adds a position; it must not be there yet.
  void Add(uint64_t hash, int32_t position) {
    if (2 * (used_ + 1) > slots_.size()) Grow();
    Place(hash, position);
    ++used_;
  }

 private:
  void Place(uint64_t hash, int32_t position) {
    size_t slot = hash & (slots_.size() - 1);
    while (slots_[slot] >= 0) slot = (slot + 1) & (slots_.size() - 1);
    slots_[slot] = position;
    hashes_[slot] = hash;
  }

  void Grow() {
    std::vector<int32_t> slots(slots_.empty() ? 16 : 2 * slots_.size(), -1);
    std::vector<uint64_t> hashes(slots.size(), 0);
    slots.swap(slots_);
    hashes.swap(hashes_);
    for (size_t i = 0; i < slots.size(); ++i) {
      if (slots[i] >= 0) Place(hashes[i], slots[i]);
    }
  }

  std::vector<int32_t> slots_;  ///< -1 where empty; a power of two long
  std::vector<uint64_t> hashes_;
  size_t used_ = 0;
};
