#include "registry_file.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\Cinema Craft\\Encoder SP\\Settings";

TEST(RegistryFileTest, ImportsMergesAndDeletes) {
  RegistryContents registry;
  std::string error;
  ASSERT_TRUE(ImportRegistryText(
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Cinema Craft\\Encoder SP\\Settings]\r\n"
      "\"MpvSize\"=dword:07cae1bc\r\n\"DoneFile\"=\"C:\\\\TEMP\\\\007.done\"\r\n"
      "@=\"default\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"x\"=dword:1\r\n",
      registry, error))
      << error;
  uint32_t number = 0;
  std::string text;
  ASSERT_TRUE(FindRegistryNumber(registry, kKey, "mpvsize", number));
  EXPECT_EQ(number, 130736572u);
  ASSERT_TRUE(FindRegistryString(registry,
                                 "hkey_current_user\\software\\cinema craft\\encoder sp\\settings",
                                 "DoneFile", text));
  EXPECT_EQ(text, "C:\\TEMP\\007.done");
  EXPECT_FALSE(FindRegistryNumber(registry, kKey, "DoneFile", number));
  EXPECT_FALSE(FindRegistryString(registry, kKey, "MpvSize", text));

  // A second import changes one value, deletes another and removes a key.
  ASSERT_TRUE(
      ImportRegistryText("Windows Registry Editor Version 5.00\n"
                         "[HKEY_CURRENT_USER\\SOFTWARE\\Cinema Craft\\Encoder SP\\Settings]\n"
                         "\"MPVSIZE\"=dword:00000010\n\"DoneFile\"=-\n"
                         "[-HKEY_CURRENT_USER\\Software\\Other]\n",
                         registry, error))
      << error;
  ASSERT_TRUE(FindRegistryNumber(registry, kKey, "MpvSize", number));
  EXPECT_EQ(number, 16u);
  EXPECT_FALSE(FindRegistryString(registry, kKey, "DoneFile", text));
  ASSERT_EQ(registry.keys.size(), 1u);
  ASSERT_EQ(registry.keys[0].values.size(), 2u);
}

TEST(RegistryFileTest, ExportReadsBackTheSame) {
  RegistryContents registry;
  std::string error;
  ASSERT_TRUE(ImportRegistryText(
      "REGEDIT4\n[A\\B]\n\"q\\\"uote\"=\"v\\\\x\"\n\"n\"=dword:0000002a\n[A\\C]\n", registry,
      error));
  RegistryContents again;
  ASSERT_TRUE(ImportRegistryText(ExportRegistryText(registry), again, error)) << error;
  std::string text;
  ASSERT_TRUE(FindRegistryString(again, "A\\B", "q\"uote", text));
  EXPECT_EQ(text, "v\\x");
  ASSERT_EQ(again.keys.size(), 2u);
  EXPECT_EQ(ExportRegistryText(again), ExportRegistryText(registry));
}

TEST(RegistryFileTest, RejectedTextsChangeNothing) {
  const char* rejected[] = {
      "",
      "[A]\n\"x\"=dword:1\n",
      "REGEDIT4\n\"x\"=dword:1\n",
      "REGEDIT4\n[A]\n\"x\"\n",
      "REGEDIT4\n[A]\n\"x=dword:1\n",
      "REGEDIT4\n[A\n",
      "REGEDIT4\n[A]\nx=1\n",
  };
  for (const char* text : rejected) {
    RegistryContents registry;
    std::string error;
    ASSERT_TRUE(ImportRegistryText("REGEDIT4\n[Keep]\n\"v\"=dword:1\n", registry, error));
    EXPECT_FALSE(ImportRegistryText(text, registry, error)) << text;
    ASSERT_EQ(registry.keys.size(), 1u) << text;
    EXPECT_EQ(registry.keys[0].path, "Keep");
  }
}

TEST(RegistryFileTest, DwordsAreEightHexDigitsAtMost) {
  RegistryContents registry;
  std::string error;
  ASSERT_TRUE(
      ImportRegistryText("REGEDIT4\n[K]\n\"a\"=dword:ffffffff\n\"b\"=dword:100000000\n"
                         "\"c\"=dword:\n\"d\"=dword:12g\n\"e\"=hex:01\n",
                         registry, error));
  uint32_t value = 0;
  EXPECT_TRUE(FindRegistryNumber(registry, "K", "a", value));
  EXPECT_EQ(value, 0xffffffffu);
  for (const char* name : {"b", "c", "d", "e", "missing"}) {
    EXPECT_FALSE(FindRegistryNumber(registry, "K", name, value)) << name;
  }
}

}  // namespace
