#include "platform/text_hash.h"

#include <gtest/gtest.h>

namespace {

// Stored values (machine ids, pack check values) depend on these: FNV-1a's published
// 64-bit results.
TEST(HashBytes, KnownValuesAndContinuation) {
  EXPECT_EQ(HashBytes(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(HashBytes("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(HashBytes("foobar"), 0x85944171f73967e8ull);
  EXPECT_EQ(HashBytes("bar", HashBytes("foo")), HashBytes("foobar"));
}

}  // namespace
