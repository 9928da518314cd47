// The adapter list: platform detection, the keep rule, the capacities of the
// fields, the 100-entry limit and the order of the sorted table.
#include "adapter_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "test_support.h"

namespace nicmark {
namespace {

using testing::makeMachine;
using testing::windows95Net;
using testing::windowsNtCards;
using testing::windowsNtServices;

struct Listed {
  std::string name;
  std::string address;
  bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Listed& l) { return os << "{" << l.name << ", " << l.address << "}"; }

std::vector<Listed> listedOf(const AdapterList& list) {
  std::vector<Listed> out;
  for (int i = 0; i < list.adapterCount; ++i)
    out.push_back(
        {list.adapterTable[static_cast<std::size_t>(i)].name, list.adapterTable[static_cast<std::size_t>(i)].address});
  return out;
}

// Runs detection, profile selection and enumeration as the tool does.
std::unique_ptr<AdapterList> enumerate(sim::Machine& machine) {
  auto list = std::make_unique<AdapterList>();
  sim::SimVersion version(machine);
  detectPlatform(version, *list);
  const PlatformProfile* profile = selectProfile(list->platformCode);
  EXPECT_NE(profile, nullptr);
  if (profile != nullptr) list->profile = *profile;
  const int count = enumerateAdapters(machine.registry, *list);
  EXPECT_EQ(count, list->adapterCount);
  EXPECT_EQ(machine.registry.openHandles(), 0);
  return list;
}

// A Windows 95 adapter key under Class\Net.
void add95(sim::Machine& m, const std::string& sub, const std::string& driver, const char* address = nullptr) {
  const std::string path = std::string(windows95Net) + "\\" + sub;
  m.registry.setString(path, "DriverDesc", "Adapter " + sub);
  m.registry.setString(path, "DeviceVxDs", driver);
  if (address != nullptr) m.registry.setString(path, "NetworkAddress", address);
}

TEST(LeadingNumber, ConvertsLikeTheAnswerConversion) {
  struct Row {
    const char* text;
    std::int32_t number;
  };
  const Row rows[] = {
      {"12", 12},
      {"0003", 3},
      {" \t\r\n\v\f7", 7},
      {"+7", 7},
      {"-3", -3},
      {"1x", 1},
      {"10abc", 10},
      {"abc", 0},
      {"", 0},
      {"- 5", 0},
      {"+-5", 0},
      {"2147483647", INT_MAX},
      {"99999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-99999999999999999999", INT_MIN},
  };
  for (const Row& row : rows) EXPECT_EQ(leadingNumber(row.text), row.number) << '"' << row.text << '"';
}

TEST(DetectPlatform, MapsThePlatformIdAndSelectsTheProfile) {
  struct Row {
    DWORD platformId;
    std::int32_t platformCode;
    const PlatformProfile* profile;
  };
  const Row rows[] = {
      {VER_PLATFORM_WIN32s, platformWin32s, nullptr},
      {VER_PLATFORM_WIN32_WINDOWS, platformWindows95, &windows95Profile},
      {VER_PLATFORM_WIN32_NT, platformWindowsNt, &windowsNtProfile},
      {3, platformNone, nullptr},
      {0xFFFFFFFF, platformNone, nullptr},
  };
  for (const Row& row : rows) {
    auto machine = makeMachine(row.platformId);
    sim::SimVersion version(*machine);
    AdapterList list;
    detectPlatform(version, list);
    EXPECT_EQ(list.platformCode, row.platformCode) << row.platformId;
    EXPECT_EQ(selectProfile(list.platformCode), row.profile) << row.platformId;
    EXPECT_EQ(version.calls, 1);
  }
}

TEST(KeepRule, DriverMustBeginWithAServedDriverName) {
  struct Row {
    const char* driver;
    bool served;
  };
  const Row rows[] = {
      {"E100B", true},      {"e100b.sys", true},   {"E100b.vxd", true}, {"DC21X4", true},
      {"Dc21x4.sys", true}, {"dc21x4", true},      {"E100", false},     {"DC21X", false},
      {"", false},          {"xE100B.sys", false}, {" E100B", false},   {"NDIS.VXD,E100B", false},
  };
  for (const Row& row : rows) EXPECT_EQ(isServedDriver(row.driver), row.served) << row.driver;
}

TEST(EnumerateAdapters, Windows95ListsServedAdaptersInNumericOrder) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  add95(*machine, "10", "E100B.SYS");
  add95(*machine, "2", "dc21x4.sys", "02AABBCCDDEE");
  add95(*machine, "0003", "e100b.sys");
  add95(*machine, "0004", "pppmac.vxd");  // a modem: not listed
  add95(*machine, "1", "DC21X4");
  add95(*machine, "Net", "e100b.sys");  // no leading digits: number 0
  auto list = enumerate(*machine);
  EXPECT_EQ(listedOf(*list), (std::vector<Listed>{{"Net", "Global Address"},
                                                  {"1", "Global Address"},
                                                  {"2", "02AABBCCDDEE"},
                                                  {"0003", "Global Address"},
                                                  {"10", "Global Address"}}));
  EXPECT_EQ(list->adapterTable[2].number, 2);
  EXPECT_STREQ(list->adapterTable[2].driver, "dc21x4.sys");
  EXPECT_STREQ(list->adapterTable[2].description, "Adapter 2");
}

TEST(EnumerateAdapters, EqualNumbersKeepTheExchangeSortOrder) {
  // Kept in the order 2a, 2b, 1: the exchange of 2a with 1 moves 2a behind 2b,
  // and 2b and 2a are not exchanged afterwards.  A stable sort would give
  // 1, 2a, 2b.
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  add95(*machine, "2a", "E100B");
  add95(*machine, "2b", "E100B");
  add95(*machine, "1", "E100B");
  EXPECT_EQ(listedOf(*enumerate(*machine)),
            (std::vector<Listed>{{"1", "Global Address"}, {"2b", "Global Address"}, {"2a", "Global Address"}}));

  // 1x, 0, 1y: 1x and 1y keep their order.
  auto other = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  add95(*other, "1x", "E100B");
  add95(*other, "0", "E100B");
  add95(*other, "1y", "E100B");
  EXPECT_EQ(listedOf(*enumerate(*other)),
            (std::vector<Listed>{{"0", "Global Address"}, {"1x", "Global Address"}, {"1y", "Global Address"}}));
}

TEST(EnumerateAdapters, ValuesThatDoNotFitTheirFieldLeaveItEmpty) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  const std::string driver30 = "E100B" + std::string(25, 'x');  // 31 bytes with its zero: fits
  const std::string driver31 = "E100B" + std::string(26, 'x');  // 32 bytes: does not
  add95(*machine, "1", driver30, "0123456789ABC");              // 14 bytes: fits
  add95(*machine, "2", "E100B", "0123456789ABCD");              // 15 bytes: does not
  add95(*machine, "3", driver31, "02AABBCCDDEE");
  add95(*machine, "4", "E100B");
  // Data are taken whatever their type; 14 bytes without a zero stay
  // terminated inside the field.
  machine->registry.setValue(std::string(windows95Net) + "\\4", "NetworkAddress", REG_BINARY,
                             {'0', '2', 'A', 'A', 'B', 'B', 'C', 'C', 'D', 'D', 'E', 'E', 'F', 'F'});
  add95(*machine, "5", "E100B");
  machine->registry.setString(std::string(windows95Net) + "\\5", "DriverDesc", std::string(63, 'd'));
  add95(*machine, "6", "E100B");
  machine->registry.setString(std::string(windows95Net) + "\\6", "DriverDesc", std::string(62, 'd'));
  auto list = enumerate(*machine);
  EXPECT_EQ(listedOf(*list), (std::vector<Listed>{{"1", "0123456789ABC"},
                                                  {"2", "Global Address"},
                                                  {"4", "02AABBCCDDEEFF"},
                                                  {"5", "Global Address"},
                                                  {"6", "Global Address"}}));
  EXPECT_EQ(std::string(list->adapterTable[0].driver), driver30);
  EXPECT_STREQ(list->adapterTable[3].description, "");
  EXPECT_EQ(std::string(list->adapterTable[4].description), std::string(62, 'd'));
}

TEST(EnumerateAdapters, NamesTooLongForTheFieldAreSkipped) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  const std::string name31(31, '7');
  const std::string name32 = "1" + std::string(31, 'n');
  add95(*machine, name32, "E100B");
  add95(*machine, name31, "E100B");
  add95(*machine, "5", "E100B");
  auto list = enumerate(*machine);
  EXPECT_EQ(listedOf(*list), (std::vector<Listed>{{"5", "Global Address"}, {name31, "Global Address"}}));
  EXPECT_EQ(list->adapterTable[1].number, INT_MAX);
}

TEST(EnumerateAdapters, LimitOf100CountsKeptAdapters) {
  // 101 served adapters among 203 subkeys, named so that sorting reverses
  // their registry order: only the first 100 served ones are read, and no
  // subkey after the 100th served one is even enumerated.
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  for (int i = 0; i < 101; ++i) {
    add95(*machine, std::to_string(1000 - 2 * i), "E100B");
    add95(*machine, std::to_string(999 - 2 * i), "pppmac.vxd");
  }
  add95(*machine, "1", "E100B");
  auto list = enumerate(*machine);
  ASSERT_EQ(list->adapterCount, 100);
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(list->adapterTable[static_cast<std::size_t>(i)].number, 1000 - 2 * (99 - i)) << i;
  // The 100th served subkey has index 198; the enumeration stops there.
  int highestIndex = -1;
  for (const std::string& call : machine->registry.calls())
    if (call.starts_with("RegEnumKeyExA(")) highestIndex = std::stoi(call.substr(call.rfind(", ") + 2));
  EXPECT_EQ(highestIndex, 198);
}

TEST(EnumerateAdapters, UnreadableSubkeysAreSkippedAndTheirSlotReused) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  add95(*machine, "1", "E100B");
  add95(*machine, "2", "E100B", "02AABBCCDDEE");
  add95(*machine, "3", "DC21X4");
  machine->registry.find(std::string(windows95Net) + "\\2")->failOpen = true;
  auto list = enumerate(*machine);
  EXPECT_EQ(listedOf(*list), (std::vector<Listed>{{"1", "Global Address"}, {"3", "Global Address"}}));
  EXPECT_EQ(list->adapterTable[2].number, 0);  // nothing left behind the kept slots
}

// The simulated registry, with the enumeration of subkeys failing from one
// index on, as for a list key whose handle went bad.
class FailingEnumeration : public sim::SimRegistry {
 public:
  DWORD failFrom = 0;
  int enumerations = 0;
  LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* keyClass,
                     DWORD* classSize, FILETIME* lastWriteTime) override {
    ++enumerations;
    // Past a few failures the end is reported, so a loop that went on
    // would still end, with more calls.
    if (index >= failFrom + 8) return ERROR_NO_MORE_ITEMS;
    if (index >= failFrom) return ERROR_INVALID_HANDLE;
    return SimRegistry::RegEnumKeyExA(key, index, name, nameSize, reserved, keyClass, classSize, lastWriteTime);
  }
};

TEST(EnumerateAdapters, AnEnumerationFailureEndsTheList) {
  // Only the end of the subkeys or a name too long for `name` is expected;
  // any other failure ends the list instead of being read as a name.
  FailingEnumeration registry;
  std::string error;
  ASSERT_TRUE(sim::importRegText(registry, testing::windows95Sample, error)) << error;
  registry.failFrom = 1;
  AdapterList list;
  list.platformCode = platformWindows95;
  list.profile = windows95Profile;
  EXPECT_EQ(enumerateAdapters(registry, list), 1);
  EXPECT_STREQ(list.adapterTable[0].name, "0000");
  EXPECT_EQ(registry.enumerations, 2);
  EXPECT_EQ(registry.openHandles(), 0);
}

TEST(EnumerateAdapters, NothingListedWithoutListKeyOrServedAdapter) {
  auto bare = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(enumerate(*bare)->adapterCount, 0);
  auto modemOnly = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  add95(*modemOnly, "0000", "pppmac.vxd");
  EXPECT_EQ(enumerate(*modemOnly)->adapterCount, 0);
  auto locked = makeMachine(VER_PLATFORM_WIN32_WINDOWS);
  add95(*locked, "0000", "E100B");
  locked->registry.find(windows95Net)->failOpen = true;
  EXPECT_EQ(enumerate(*locked)->adapterCount, 0);
}

TEST(EnumerateAdapters, WindowsNtNamesComeFromServiceNameAndAddressesFromParameters) {
  auto machine = makeMachine(VER_PLATFORM_WIN32_NT, testing::windowsNtSample);
  const std::string cards(windowsNtCards);
  const std::string services(windowsNtServices);
  // A card whose service has no Parameters key, and one whose service name
  // is too long for `name` (31 characters take 32 bytes with the zero).
  machine->registry.setString(cards + "\\0", "ServiceName", "DC21X42");
  machine->registry.setString(cards + "\\4", "ServiceName", "E100B" + std::string(26, '9'));
  machine->registry.setString(cards + "\\5", "ServiceName", "E100B" + std::string(25, '9'));
  machine->registry.setString(services + "\\E100B" + std::string(25, '9') + "\\Parameters", "NetworkAddress",
                              "0EAABBCCDDEE");
  // A Windows 95 style driver value under a card is not what NT reads.
  machine->registry.setString(cards + "\\6", "DeviceVxDs", "e100b.sys");
  auto list = enumerate(*machine);
  EXPECT_EQ(listedOf(*list), (std::vector<Listed>{{"DC21X42", "Global Address"},
                                                  {"E100B1", "Global Address"},
                                                  {"DC21X41", "0200AA000001"},
                                                  {"E100B" + std::string(25, '9'), "0EAABBCCDDEE"}}));
  EXPECT_EQ(list->adapterTable[1].number, 1);
  EXPECT_STREQ(list->adapterTable[1].driver, "E100B1");
  EXPECT_STREQ(list->adapterTable[1].description, "[1] E100B PCI Adapter");
}

}  // namespace
}  // namespace nicmark
