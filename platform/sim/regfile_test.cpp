#include "sim/regfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(RegFile, ImportsEveryValueFormAndExportsItBack) {
  sim::SimRegistry reg;
  std::string error;
  ASSERT_TRUE(sim::importRegText(reg, R"(REGEDIT4

; a comment
[HKEY_LOCAL_MACHINE\Soft\A]
@="default"
"Text"="C:\\Path \"quoted\""
"Count"=dword:0000010a
"Bytes"=hex:01,02,\
  ff
"Multi"=hex(7):61,00,00
"Empty"=""

[HKEY_LOCAL_MACHINE\Soft\B]
"Gone"="x"
"Gone"=-
)",
                                 error))
      << error;
  std::string text;
  ASSERT_TRUE(reg.stringValue("HKEY_LOCAL_MACHINE\\Soft\\A", "Text", text));
  EXPECT_EQ(text, "C:\\Path \"quoted\"");
  EXPECT_EQ(reg.value("HKEY_LOCAL_MACHINE\\Soft\\A", "Count")->data, (std::vector<BYTE>{0x0a, 1, 0, 0}));
  EXPECT_EQ(reg.value("HKEY_LOCAL_MACHINE\\Soft\\A", "Bytes")->data, (std::vector<BYTE>{1, 2, 0xff}));
  EXPECT_EQ(reg.value("HKEY_LOCAL_MACHINE\\Soft\\A", "Multi")->type, REG_MULTI_SZ);
  EXPECT_EQ(reg.value("HKEY_LOCAL_MACHINE\\Soft\\A", "")->data.size(), 8u);
  EXPECT_EQ(reg.value("HKEY_LOCAL_MACHINE\\Soft\\B", "Gone"), nullptr);

  const std::string exported = sim::exportRegText(reg);
  EXPECT_EQ(exported, R"(REGEDIT4

[HKEY_LOCAL_MACHINE\Soft]

[HKEY_LOCAL_MACHINE\Soft\A]
@="default"
"Text"="C:\\Path \"quoted\""
"Count"=dword:0000010a
"Bytes"=hex:01,02,ff
"Multi"=hex(7):61,00,00
"Empty"=""

[HKEY_LOCAL_MACHINE\Soft\B]

)");
  sim::SimRegistry again;
  ASSERT_TRUE(sim::importRegText(again, exported, error)) << error;
  EXPECT_EQ(sim::exportRegText(again), exported);
}

TEST(RegFile, KeepsExactBytesOfValuesThatAreNotPlainText) {
  sim::SimRegistry reg;
  reg.setValue("HKEY_LOCAL_MACHINE\\K", "NoTerminator", REG_SZ, {'a', 'b'});
  reg.setValue("HKEY_LOCAL_MACHINE\\K", "ZeroBytes", REG_SZ, {});
  const std::string exported = sim::exportRegText(reg);
  EXPECT_NE(exported.find("\"NoTerminator\"=hex(1):61,62\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("\"ZeroBytes\"=hex(1):\n"), std::string::npos) << exported;
  sim::SimRegistry again;
  std::string error;
  ASSERT_TRUE(sim::importRegText(again, exported, error)) << error;
  EXPECT_EQ(again.value("HKEY_LOCAL_MACHINE\\K", "NoTerminator")->data, (std::vector<BYTE>{'a', 'b'}));
  EXPECT_TRUE(again.value("HKEY_LOCAL_MACHINE\\K", "ZeroBytes")->data.empty());
}

TEST(RegFile, ValuesOfAHiveItselfSurviveASave) {
  sim::SimRegistry reg;
  std::string error;
  ASSERT_TRUE(sim::importRegText(reg, "REGEDIT4\n\n[HKEY_CURRENT_USER]\n\"Root\"=\"kept\"\n", error)) << error;
  sim::SimRegistry again;
  ASSERT_TRUE(sim::importRegText(again, sim::exportRegText(reg), error)) << error;
  std::string text;
  EXPECT_TRUE(again.stringValue("HKEY_CURRENT_USER", "Root", text));
  EXPECT_EQ(text, "kept");
}

TEST(RegFile, RejectsMalformedTextNamingTheLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"[HKEY_LOCAL_MACHINE\\A]\n", "line 1: the file must start with REGEDIT4"},
      {"REGEDIT4\n\"x\"=\"y\"\n", "line 2: a value outside of a key"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:123456789\n", "line 3: bad dword value"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=hex:1,2\n", "line 3: bad hex bytes"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", "line 2: a key line must end with ]"},
  };
  for (const auto& c : cases) {
    sim::SimRegistry reg;
    std::string error;
    EXPECT_FALSE(sim::importRegText(reg, c.text, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(RegFile, VolatileKeysAreNotWrittenAndTheFileIsReplacedWhole) {
  sim::SimRegistry reg;
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(reg.RegCreateKeyExA(HKEY_LOCAL_MACHINE, "V", 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key,
                                &disposition),
            ERROR_SUCCESS);
  reg.RegCloseKey(key);
  reg.setString("HKEY_LOCAL_MACHINE\\P", "A", "1");
  const auto file = std::filesystem::temp_directory_path() / ("regfile_test_" + std::to_string(::getpid()) + ".reg");
  std::string error;
  ASSERT_TRUE(sim::writeFileAtomically(file, sim::exportRegText(reg), error)) << error;
  sim::SimRegistry back;
  ASSERT_TRUE(sim::importRegFile(back, file, error)) << error;
  EXPECT_EQ(back.find("HKEY_LOCAL_MACHINE\\V"), nullptr);
  EXPECT_NE(back.value("HKEY_LOCAL_MACHINE\\P", "A"), nullptr);
  std::filesystem::remove(file);
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
    EXPECT_EQ(entry.path().string().find(file.filename().string() + ".tmp"), std::string::npos);
}

TEST(RegFile, AtomicWriteFollowsALinkAndKeepsThePermissions) {
  const auto folder = std::filesystem::temp_directory_path() / ("regfile_link_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto target = folder / "machine.reg";
  const auto link = folder / "link.reg";
  {
    std::ofstream(target) << "old";
  }
  std::filesystem::permissions(target, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
  std::filesystem::create_symlink(target, link);
  std::string error;
  ASSERT_TRUE(sim::writeFileAtomically(link, "new", error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  std::ifstream in(target);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "new");
  EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
  std::filesystem::remove_all(folder);
}

}  // namespace
