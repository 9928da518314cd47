#include <iconv.h>

#include <cstdint>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "oidview_texts_cp932.h"
#include "test_support.h"

namespace oidview {
namespace {

using testing::Notebook;
using testing::ScriptConsole;

const ObjectRow& row(DWORD oid) {
  for (const ObjectRow& r : objectTable)
    if (r.oid == oid) return r;
  throw std::runtime_error("no such row");
}

std::string valueText(DWORD oid, std::vector<BYTE> value) {
  Notebook nb;
  printObjectLine(nb.lister, row(oid), value);
  return nb.console.out.substr(34);
}

TEST(ObjectTable, HasFiftyRowsThenTheEnd) {
  EXPECT_EQ(objectTable[49].ndisName, "OID_802_3_XMIT_LATE_COLLISIONS");
  EXPECT_EQ(objectTable[50].oid, 0u);
  for (int i = 0; i < 50; ++i) EXPECT_NE(objectTable[static_cast<std::size_t>(i)].oid, 0u) << i;
}

TEST(ValueRules, PrintEachValueByItsRule) {
  struct Case {
    DWORD oid;
    std::vector<BYTE> value;
    const char* text;
  };
  const Case cases[] = {
      // hardware status
      {0x00010102, {0, 0, 0, 0}, "Ready\n"},
      {0x00010102, {4, 0, 0, 0}, "Not Ready\n"},
      {0x00010102, {7, 0, 0, 0}, "???\n"},
      {0x00010102, {1}, "Initializing\n"},
      // medium list
      {0x00010103, {0, 0, 0, 0, 5, 0, 0, 0}, "Ethernet(802.3), DEC/Intel/Xerox (DIX) Ethernet\n"},
      {0x00010104, {0, 0, 0, 0, 5, 0}, "Ethernet(802.3)\n"},
      {0x00010104, {0, 0}, "\n"},
      {0x00010104, {11, 0, 0, 0, 12, 0, 0, 0, 1, 0, 0, 0}, "Max, ???, Token Ring(802.5)\n"},
      // link speed, units of 100 bit/s
      {0x00010107, {0, 0, 0, 0}, "0 Mbps\n"},
      {0x00010107, {0x98, 0x3a, 0, 0}, "1.5 Mbps\n"},
      {0x00010107, {0xa0, 0x86, 0x01, 0}, "10 Mbps\n"},
      {0x00010107, {0x40, 0x42, 0x0f, 0}, "100 Mbps\n"},
      {0x00010107, {0, 0, 0, 0x80}, "214748 Mbps\n"},
      // the constant alone is single precision: the speed and the product keep every digit
      {0x00010107, {0x77, 0x42, 0x0f, 0}, "100.005 Mbps\n"},
      {0x00010107, {0xee, 0x3b, 0x6b, 0xee}, "400001 Mbps\n"},
      // vendor code
      {0x0001010C, {0x00, 0x00, 0x0e, 0x07}, "00000e\n"},
      {0x0001010C, {0xab, 0xcd}, "abcd00\n"},
      // text
      {0x0001010D, {'E', '1', '0', '0', 'B', 0, 'x'}, "E100B\n"},
      {0x0001010D, {'A', 'B', 'C'}, "ABC\n"},
      // bit names
      {0x0001010E, {0x0b, 0, 0, 0}, "Directed, Multicast, Broadcast\n"},
      {0x0001010E, {0x00, 0xf0, 0, 0}, "MacFrame, Functional, AllFunctional, Group\n"},
      {0x0001010E, {0, 0, 0, 0}, "\n"},
      {0x0001010E, {0, 0, 1, 0}, "\n"},
      {0x00010113, {0x11, 0, 0, 0x80}, "CopyLookaheadData, FullDuplex, Reserved\n"},
      // version
      {0x00010110, {0x02, 0x03}, "3.2\n"},
      {0x00010110, {0x0a}, "0.10\n"},
      // address list
      {0x01010103, {1, 0, 0x5e, 0, 0, 1, 1, 0, 0x5e, 0, 0, 2}, "01-00-5e-00-00-01, 01-00-5e-00-00-02\n"},
      {0x01010103, {1, 0, 0x5e, 0, 0, 1, 0xff}, "01-00-5e-00-00-01, ff\n"},
      // length
      {0x00020101, {0x39, 0x30, 0, 0}, "12345\n"},
      {0x00020101, {0xff, 0xff, 0xff, 0xff}, "4294967295\n"},
      {0x00020201, {0, 0, 0, 0, 1, 0, 0, 0}, "4294967296\n"},
      {0x00020201, {0x05, 0x10, 0xa5, 0xd4, 0xe8, 0, 0, 0}, "1000000000005\n"},
      {0x00020201, {0x39, 0x30, 0, 0, 0, 0, 0, 0}, "12345\n"},
      {0x00010105, {0x34, 0x12}, "34-12\n"},
      {0x01010101, {0, 0, 0x0e, 0x12, 0x34, 0x56}, "00-00-0e-12-34-56\n"},
      {0x01010102, {0xaa}, "aa\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(valueText(c.oid, c.value), c.text) << std::hex << c.oid;
}

TEST(ValueRules, Unsigned64InDecimal) {
  const std::uint64_t values[] = {0,
                                  4294967295u,
                                  4294967296u,
                                  1000000000005u,
                                  42949672960007u,  // a remainder group with leading zeros
                                  10000ull << 32,
                                  0xFFFFFFFFFFFFFFFFull,
                                  0x8000000000000000ull,
                                  12345678901234567890ull};
  for (std::uint64_t v : values) {
    ScriptConsole console;
    printUnsigned64(console, static_cast<DWORD>(v), static_cast<DWORD>(v >> 32));
    EXPECT_EQ(console.out, std::to_string(v));
  }
}

TEST(ValueRules, LookupAndFlagNames) {
  EXPECT_EQ(lookupName(mediumNames.data(), 10), "IrDa");
  EXPECT_EQ(lookupName(mediumNames.data(), 0xFFFFFFFFu), "???");
  ScriptConsole console;
  printFlagNames(console, macOptionNames.data(), 0xFFFFFFFFu);
  EXPECT_EQ(console.out, "CopyLookaheadData, ReceiveSerialized, TransfersNotPend, NoLoopback, FullDuplex, Reserved\n");
}

TEST(LabelColumn, PaddedTo32BytesOfTheCodePage932Form) {
  Notebook nb;
  printObjectLine(nb.lister, row(0x00010107), std::vector<BYTE>{0xa0, 0x86, 0x01, 0x00});
  EXPECT_EQ(nb.console.out, "OID_GEN_LINK_SPEED" + std::string(14, ' ') + "  10 Mbps\n");
  nb.console.out.clear();
  printObjectLine(nb.lister, row(0x01020205), std::vector<BYTE>{0, 0, 0, 0});
  EXPECT_EQ(nb.console.out, "OID_802_3_XMIT_HEARTBEAT_FAILURE  0\n");

  nb.lister.useJapanese = true;
  nb.console.out.clear();
  printObjectLine(nb.lister, row(0x00010102), std::vector<BYTE>{0, 0, 0, 0});
  // Six Japanese characters: 12 bytes.
  EXPECT_EQ(nb.console.out, std::string(ja::label_OID_GEN_HARDWARE_STATUS) + std::string(20, ' ') + "  Ready\n");
  nb.console.out.clear();
  printObjectLine(nb.lister, row(0x00020203), std::vector<BYTE>{1, 0, 0, 0});
  // Six Japanese characters and "(Multicast)": 23 bytes.
  EXPECT_EQ(nb.console.out, std::string(ja::label_OID_GEN_MULTICAST_BYTES_XMIT) + std::string(9, ' ') + "  1\n");
}

// Bytes an earlier object left in the value buffer never show in a shorter value.
TEST(PrintObjects, ListsAnsweredObjectsInTableOrder) {
  Notebook nb;
  nb.device.installed = true;
  nb.lister.deviceHandle = nb.device.CreateFileA("\\\\.\\KVELDNAV.VXD", 0, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::memcpy(nb.lister.selectedAdapter.data(), "0001", 4);
  nb.device.answer("0001", 0x0001010D, {'A', 'B', 'C'});                        // text without a zero
  nb.device.answer("0001", 0x0001010C, {0x00, 0x0e});                           // vendor code of 2 bytes
  nb.device.answer("0001", 0x0001010B, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff});   // fills the buffer before
  nb.device.answer("0001", 0x00010107, {0xa0, 0x86, 0x01, 0x00}, 0xC0000001u);  // failure status
  nb.device.answer("0001", 0x00010106, {});                                     // empty value
  nb.device.answer("0000", 0x00010105, {1, 0, 0, 0});                           // another adapter
  nb.device.answer("0001", 0x01020207, {2, 0, 0, 0});
  printObjects(nb.lister);
  EXPECT_EQ(nb.console.out,
            "OID_GEN_RECEIVE_BLOCK_SIZE        ff-ff-ff-ff-ff-ff\n"
            "OID_GEN_VENDOR_ID                 000e00\n"
            "OID_GEN_VENDOR_DESCRIPTION        ABC\n"
            "OID_802_3_XMIT_LATE_COLLISIONS    2\n");
  EXPECT_EQ(nb.console.err, "");
  EXPECT_EQ(nb.device.requests().size(), 50u);

  Notebook silent;
  silent.device.installed = true;
  silent.lister.deviceHandle = silent.device.CreateFileA("\\\\.\\KVELDNAV.VXD", 0, 0, nullptr, 0, 0, nullptr);
  printObjects(silent.lister);
  EXPECT_EQ(silent.console.out, "");
}

// The generated code page 932 texts equal glibc's conversion of the UTF-8
// originals, and every row carries the label written for its NDIS name.
TEST(JapaneseTexts, EqualIconvConversionAndBelongToTheirRows) {
  const std::map<std::string, std::string_view> messages{
      {"notWindows95", ja::notWindows95}, {"noAdapters", ja::noAdapters}, {"selectNumber", ja::selectNumber},
      {"wrongAdapter", ja::wrongAdapter}, {"usage", ja::usage},           {"deviceNotFound", ja::deviceNotFound}};
  std::ifstream in(OIDVIEW_TEXTS);
  ASSERT_TRUE(in);
  iconv_t cd = iconv_open("CP932", "UTF-8");
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  int labels = 0;
  std::size_t checked = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab = line.find('\t');
    const std::string name = line.substr(0, tab);
    std::string utf8;
    for (std::size_t i = tab + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'n') {
        utf8 += '\n';
        ++i;
      } else {
        utf8 += line[i];
      }
    }
    std::string cp932(utf8.size() * 2, '\0');
    char* src = utf8.data();
    std::size_t srcLeft = utf8.size();
    char* dst = cp932.data();
    std::size_t dstLeft = cp932.size();
    ASSERT_NE(iconv(cd, &src, &srcLeft, &dst, &dstLeft), static_cast<std::size_t>(-1)) << name;
    cp932.resize(cp932.size() - dstLeft);
    if (name.starts_with("label_")) {
      ++labels;
      const std::string ndisName = name.substr(6);
      const auto it = std::find_if(objectTable.begin(), objectTable.end(),
                                   [&](const ObjectRow& r) { return r.ndisName == ndisName; });
      ASSERT_NE(it, objectTable.end()) << ndisName;
      EXPECT_EQ(it->label, cp932) << ndisName;
      ++checked;
    } else {
      ASSERT_TRUE(messages.contains(name)) << name;
      EXPECT_EQ(messages.at(name), cp932) << name;
      ++checked;
    }
  }
  iconv_close(cd);
  EXPECT_EQ(labels, 50);
  EXPECT_EQ(checked, 56u);
}

}  // namespace
}  // namespace oidview
