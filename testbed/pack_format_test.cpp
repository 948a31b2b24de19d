#include "pack_format.h"

#include <gtest/gtest.h>

namespace {

std::vector<PackEntry> SampleEntries() {
  return {{"timer.exe", true, std::string("MZ\0\x01tool", 8)},
          {"001.dat", false, "source test.mpg\r\n"},
          {"sub\\empty.txt", false, ""}};
}

TEST(PackFormatTest, OpensWithItsPasswordOnly) {
  const std::string pack = MakePack("STUB", SampleEntries(), kPackPassword);
  EXPECT_EQ(pack.compare(0, 4, "STUB"), 0);

  std::vector<PackEntry> entries;
  ASSERT_EQ(OpenPack(pack, kPackPassword, entries), PackOpening::Opened);
  ASSERT_EQ(entries.size(), 3u);
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].name, SampleEntries()[i].name);
    EXPECT_EQ(entries[i].executable, SampleEntries()[i].executable);
    EXPECT_EQ(entries[i].data, SampleEntries()[i].data);
  }

  for (const char* wrong : {"", "vbkwhtdnp", "VBKWHTDNPO", "vbkwhtdnpo ", "another"}) {
    EXPECT_EQ(OpenPack(pack, wrong, entries), PackOpening::WrongPasswordOrDamaged) << wrong;
    EXPECT_TRUE(entries.empty()) << wrong;
  }
}

TEST(PackFormatTest, ThePayloadIsNotReadableWithoutThePassword) {
  const std::string pack = MakePack("", {{"files.dat", false, "512\r\ntimer.exe\r\n"}}, "secret");
  EXPECT_EQ(pack.find("timer.exe"), std::string::npos);
  EXPECT_EQ(pack.find("files.dat"), std::string::npos);
}

TEST(PackFormatTest, EveryDamagedByteIsNoticed) {
  const std::string pack = MakePack("STUB", SampleEntries(), kPackPassword);
  // Every byte of the sealed payload and of the trailer's check value.
  for (size_t at = 4; at < pack.size(); ++at) {
    if (at >= pack.size() - kPackTrailerSize && at < pack.size() - 8) continue;
    std::string damaged = pack;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x20);
    std::vector<PackEntry> entries;
    EXPECT_NE(OpenPack(damaged, kPackPassword, entries), PackOpening::Opened) << at;
    EXPECT_TRUE(entries.empty());
  }
}

TEST(PackFormatTest, TellsPacksFromOtherFiles) {
  const std::string pack = MakePack(std::string(1000, 'x'), SampleEntries(), "p");
  const std::string trailer = pack.substr(pack.size() - kPackTrailerSize);
  EXPECT_TRUE(IsPackTrailer(trailer, pack.size()));
  EXPECT_FALSE(IsPackTrailer(trailer, pack.size() + 1));
  EXPECT_FALSE(IsPackTrailer(std::string(kPackTrailerSize, '\0'), 475136));
  std::vector<PackEntry> entries;
  EXPECT_EQ(OpenPack(std::string(475136, '\0'), "p", entries), PackOpening::NotAPack);
  EXPECT_EQ(OpenPack("short", "p", entries), PackOpening::NotAPack);
  EXPECT_EQ(OpenPack(pack.substr(1), "p", entries), PackOpening::NotAPack);
}

TEST(PackFormatTest, RefusesEntriesThatLeaveTheFolder) {
  for (const char* name : {"..\\evil.exe", "C:\\evil.exe", "\\evil.exe", "a\\..\\..\\b", "a\\\\b",
                           "/etc/passwd", "", "a\\.\\b"}) {
    EXPECT_FALSE(IsSafeEntryName(name)) << name;
    const std::string pack = MakePack("", {{name, false, "x"}}, "p");
    std::vector<PackEntry> entries;
    EXPECT_EQ(OpenPack(pack, "p", entries), PackOpening::Malformed) << name;
  }
  for (const char* name : {"timer.exe", "Plugins\\User Presets\\x.cpf", "a/b", "..x"}) {
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  }
}

TEST(FileListTest, ListsExactSizesOrZeroForPresence) {
  const std::string list = MakeFileList(SampleEntries(), {"001.dat"});
  EXPECT_EQ(list, "8\r\ntimer.exe\r\n0\r\n001.dat\r\n0\r\nsub\\empty.txt\r\n");
  EXPECT_EQ(MakeFileList({}, {}), "");
}

}  // namespace
