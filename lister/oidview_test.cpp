#include <algorithm>

#include <gtest/gtest.h>

#include "oidview_texts_cp932.h"
#include "test_support.h"

namespace oidview {
namespace {

using testing::kInstall;
using testing::Notebook;

constexpr const char* kUsage = "Windows 95 NDIS object listing utility\nusage: oidview [adapter name]\n";

// Three Ethernet adapters and a dial-up adapter; the device answers the link
// speed of every adapter.
struct Notebook3 : Notebook {
  Notebook3() {
    adapter("0002", "DC21X4 PCI Fast Ethernet Adapter");
    adapter("0000", "E100B PCI Adapter");
    adapter("0001", "Dial-Up Adapter", "ndis3", "ppp");
    adapter("0010", "Spare Card");
    device.installed = true;
    for (const char* name : {"0000", "0002", "0010"}) device.answer(name, 0x00010107, {0xa0, 0x86, 0x01, 0x00});
  }
  std::string chosen() const {
    return device.requests().empty()
               ? std::string("(none)")
               : std::string(reinterpret_cast<const char*>(device.requests()[0].input.data() + 24));
  }
  int registryCreates() const {
    return static_cast<int>(std::count_if(registry.calls().begin(), registry.calls().end(),
                                          [](const std::string& c) { return c.starts_with("RegCreateKeyExA"); }));
  }
};

const std::string kLinkLine = "OID_GEN_LINK_SPEED" + std::string(14, ' ') + "  10 Mbps\n";

TEST(Oidview, ListsTheOnlyAdapterWithoutAsking) {
  Notebook nb;
  nb.adapter("0000", "E100B PCI Adapter");
  nb.device.installed = true;
  nb.device.answer("0000", 0x00010107, {0xa0, 0x86, 0x01, 0x00});
  EXPECT_EQ(nb.run({}), 1);
  EXPECT_EQ(nb.console.err, "");
  EXPECT_EQ(nb.console.out, kLinkLine);
  EXPECT_EQ(nb.console.reads, 0);
  EXPECT_EQ(nb.device.calls().front(), "CreateFileA(\\\\.\\KVELDNAV.VXD, 0xC0000000, 0x3, 0x2, 0x44000080)");
  EXPECT_EQ(nb.device.requests().size(), 50u);
  EXPECT_EQ(nb.device.openHandles(), 0);
  EXPECT_EQ(nb.device.badCloses(), 0);
  EXPECT_EQ(nb.registry.openHandles(), 0);
  // The install key: created volatile, with an empty DstDir.
  const sim::RegNode* key = nb.registry.find(kInstall);
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->isVolatile);
  const sim::RegValue* dstDir = nb.registry.value(kInstall, "DstDir");
  ASSERT_NE(dstDir, nullptr);
  EXPECT_EQ(dstDir->type, REG_SZ);
  EXPECT_TRUE(dstDir->data.empty());
  EXPECT_TRUE(std::find(nb.registry.calls().begin(), nb.registry.calls().end(),
                        "RegCreateKeyExA(HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\KVELDHUB\\"
                        "Install, 0x1, 0x20006) = 0") != nb.registry.calls().end());
}

TEST(Oidview, JapaneseForAnySublanguageOfJapanese) {
  for (LANGID id : {0x0411, 0x0811, 0x7C11}) {
    Notebook nb;
    nb.language.language = id;
    EXPECT_EQ(nb.run({}), 0);
    EXPECT_EQ(nb.console.err, ja::noAdapters) << std::hex << id;
  }
  Notebook en;
  en.language.language = 0x0409;
  en.run({});
  EXPECT_EQ(en.console.err, "NDIS adapters not found\n");
  // The primary language is the low 10 bits: 0x0511 is language 0x111.
  Notebook other;
  other.language.language = 0x0511;
  other.run({});
  EXPECT_EQ(other.console.err, "NDIS adapters not found\n");
}

TEST(Oidview, JapaneseListingAndMessages) {
  Notebook3 nb;
  nb.language.language = 0x0411;
  nb.console.input = {"9", "1"};
  EXPECT_EQ(nb.run({}), 1);
  const std::string prompt = std::string(ja::selectNumber) + "(1-3): ";
  EXPECT_EQ(nb.console.err,
            "1. E100B PCI Adapter (0000)\n2. DC21X4 PCI Fast Ethernet Adapter (0002)\n3. Spare Card (0010)\n" + prompt +
                prompt);
  EXPECT_EQ(nb.console.out, std::string(ja::label_OID_GEN_LINK_SPEED) + std::string(18, ' ') + "  10 Mbps\n");

  Notebook3 wrong;
  wrong.language.language = 0x0411;
  EXPECT_EQ(wrong.run({"0001"}), 0);
  EXPECT_EQ(wrong.console.err, ja::wrongAdapter);
  Notebook3 usage;
  usage.language.language = 0x0411;
  EXPECT_EQ(usage.run({"/?"}), 0);
  EXPECT_EQ(usage.console.err, ja::usage);
  Notebook3 missing;
  missing.language.language = 0x0411;
  missing.device.installed = false;
  EXPECT_EQ(missing.run({"0000"}), 0);
  EXPECT_EQ(missing.console.err, ja::deviceNotFound);
}

// Outside the Windows 95 family: the Japanese message whatever the language,
// and neither the registry nor the device is touched.
TEST(Oidview, RefusesOutsideWindows95) {
  for (DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32s}) {
    Notebook3 nb;
    nb.version.platformId = platform;
    EXPECT_EQ(nb.run({"0000"}), 0);
    EXPECT_EQ(nb.console.err, ja::notWindows95);
    EXPECT_EQ(nb.console.out, "");
    EXPECT_TRUE(nb.registry.calls().empty());
    EXPECT_TRUE(nb.device.calls().empty());
  }
}

TEST(Oidview, Arguments) {
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;
    std::string chosen;
  };
  const Case cases[] = {
      {{"/?"}, 0, kUsage, "(none)"},
      {{"/x"}, 0, kUsage, "(none)"},
      {{"-?"}, 0, kUsage, "(none)"},
      {{"/"}, 0, kUsage, "(none)"},
      {{"-h"}, 0, "You wrong Adapter name.", "(none)"},
      {{"?"}, 0, "You wrong Adapter name.", "(none)"},
      {{""}, 0, "You wrong Adapter name.", "(none)"},
      {{"0000", "x"}, 0, kUsage, "(none)"},
      {{"0002"}, 1, "", "0002"},
      {{"0010"}, 1, "", "0010"},
      {{"0001"}, 0, "You wrong Adapter name.", "(none)"},  // dial-up: not listed
      {{"2"}, 0, "You wrong Adapter name.", "(none)"},
      {{"0002 "}, 0, "You wrong Adapter name.", "(none)"},
      {{"0002", "0002"}, 0, kUsage, "(none)"},
  };
  for (const Case& c : cases) {
    Notebook3 nb;
    const std::string what = c.args.empty() ? "" : c.args[0] + (c.args.size() > 1 ? " ..." : "");
    EXPECT_EQ(nb.run(c.args), c.code) << what;
    EXPECT_EQ(nb.console.err, c.err) << what;
    EXPECT_EQ(nb.chosen(), c.chosen) << what;
    EXPECT_EQ(nb.registryCreates(), c.code) << what;
  }
  // With no adapter at all, a name matches nothing.
  Notebook empty;
  EXPECT_EQ(empty.run({"0000"}), 0);
  EXPECT_EQ(empty.console.err, "You wrong Adapter name.");
}

TEST(Oidview, PromptUntilANumberInRange) {
  const std::string list =
      "1. E100B PCI Adapter (0000)\n2. DC21X4 PCI Fast Ethernet Adapter (0002)\n3. Spare Card (0010)\n";
  const std::string prompt = "select number(1-3): ";
  struct Case {
    std::vector<std::string> replies;
    int code;
    int prompts;
    std::string chosen;
  };
  const Case cases[] = {
      {{"0", "4", "abc", "2"}, 1, 4, "0002"},
      {{" 2"}, 1, 1, "0002"},
      {{"2x"}, 1, 1, "0002"},
      {{"+3"}, 1, 1, "0010"},
      {{"-1", "99999999999", " ", "1"}, 1, 4, "0000"},
      {{std::string("3") + std::string(2000, '0'), "2"}, 1, 2, "0002"},  // read whole, its start taken
      {{"2" + std::string(2000, ' ')}, 1, 1, "0002"},
      {{std::string(1023, ' ') + "2", "1"}, 1, 2, "0000"},  // only the first 1023 characters count
      {{""}, 0, 1, "(none)"},
      {{"0", ""}, 0, 2, "(none)"},
      {{"5"}, 0, 2, "(none)"},  // then end of input
      {{}, 0, 1, "(none)"},
  };
  for (const Case& c : cases) {
    Notebook3 nb;
    for (const std::string& r : c.replies) nb.console.input.push_back(r);
    std::string err = list;
    for (int i = 0; i < c.prompts; ++i) err += prompt;
    EXPECT_EQ(nb.run({}), c.code) << c.chosen;
    EXPECT_EQ(nb.console.err, err) << c.chosen;
    EXPECT_EQ(nb.chosen(), c.chosen);
    EXPECT_EQ(nb.console.out, c.code == 1 ? kLinkLine : "");
    if (c.code == 0) {
      EXPECT_EQ(nb.registryCreates(), 0);
    }
  }
}

TEST(Oidview, NoAdapterLeavesRegistryAndDeviceAlone) {
  Notebook nb;
  nb.adapter("0001", "Dial-Up Adapter", "ndis3", "ppp");
  nb.device.installed = true;
  EXPECT_EQ(nb.run({}), 0);
  EXPECT_EQ(nb.console.err, "NDIS adapters not found\n");
  EXPECT_EQ(nb.registry.find(kInstall), nullptr);
  EXPECT_TRUE(nb.device.calls().empty());
  EXPECT_EQ(nb.registry.openHandles(), 0);
}

TEST(Oidview, InstallKeyIsCreatedOnceAndLeftAloneWhenPresent) {
  Notebook3 nb;
  ASSERT_EQ(nb.run({"0000"}), 1);
  ASSERT_EQ(nb.run({"0000"}), 1);
  const auto& calls = nb.registry.calls();
  EXPECT_EQ(
      std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.starts_with("RegSetValueExA"); }),
      1);
  EXPECT_EQ(nb.registry.value(kInstall, "DstDir")->data.size(), 0u);

  Notebook3 set;
  set.registry.setString(kInstall, "DstDir", "C:\\WINDOWS\\SYSTEM");
  ASSERT_EQ(set.run({"0000"}), 1);
  std::string dstDir;
  ASSERT_TRUE(set.registry.stringValue(kInstall, "DstDir", dstDir));
  EXPECT_EQ(dstDir, "C:\\WINDOWS\\SYSTEM");
  EXPECT_FALSE(set.registry.find(kInstall)->isVolatile);

  Notebook3 bare;
  bare.registry.key(kInstall);
  ASSERT_EQ(bare.run({"0000"}), 1);
  EXPECT_EQ(bare.registry.value(kInstall, "DstDir"), nullptr);
}

TEST(Oidview, InstallKeyRefusedEndsSilently) {
  Notebook3 nb;
  nb.registry.key(kInstall).failOpen = true;
  EXPECT_EQ(nb.run({"0000"}), 0);
  EXPECT_EQ(nb.console.err, "");
  EXPECT_EQ(nb.console.out, "");
  EXPECT_TRUE(nb.device.calls().empty());
  EXPECT_EQ(nb.registry.openHandles(), 0);
}

TEST(Oidview, DeviceMissing) {
  Notebook3 nb;
  nb.device.installed = false;
  EXPECT_EQ(nb.run({"0000"}), 0);
  EXPECT_EQ(nb.console.err, "OIDVIEW.VXD not found");
  EXPECT_EQ(nb.console.out, "");
  EXPECT_NE(nb.registry.find(kInstall), nullptr);
  EXPECT_EQ(nb.device.calls().size(), 1u);
}

// A device that answers nothing still gives a listing run: exit code 1.
TEST(Oidview, SilentDeviceStillEndsWithOne) {
  Notebook3 nb;
  nb.device.answers.clear();
  nb.device.completion = sim::Completion::pending;
  EXPECT_EQ(nb.run({"0010"}), 1);
  EXPECT_EQ(nb.console.out, "");
  EXPECT_EQ(nb.console.err, "");
  EXPECT_EQ(nb.device.openHandles(), 0);
  EXPECT_EQ(nb.device.abandonedRequests(), 0);
}

}  // namespace
}  // namespace oidview
