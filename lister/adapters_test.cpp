#include <algorithm>
#include <cstdio>

#include <gtest/gtest.h>

#include "test_support.h"

namespace oidview {
namespace {

using testing::kNet;
using testing::Notebook;

struct Listed {
  std::int32_t number;
  std::string name;
  std::string description;
  bool operator==(const Listed&) const = default;
};

std::vector<Listed> listed(Notebook& nb) {
  const int count = collectAdapters(nb.lister);
  EXPECT_EQ(nb.registry.openHandles(), 0);
  std::vector<Listed> out;
  for (int i = 0; i < count; ++i) {
    const AdapterRecord& r = nb.lister.adapterList[static_cast<std::size_t>(i)];
    out.push_back({r.number, r.name.data(), r.description.data()});
  }
  return out;
}

TEST(CollectAdapters, SortsByTheNumberOfTheSubkeyName) {
  Notebook nb;
  nb.adapter("0002", "Second");
  nb.adapter("0000", "First");
  nb.adapter("0010", "Tenth");
  EXPECT_EQ(listed(nb), (std::vector<Listed>{{0, "0000", "First"}, {2, "0002", "Second"}, {10, "0010", "Tenth"}}));
}

TEST(CollectAdapters, ListsOnlyNdis3OverEthernetWithCaseSignificant) {
  struct Case {
    const char* upper;
    const char* lower;
    bool listed;
  };
  const std::string long62 = std::string(57, 'x') + "ndis3";  // 62 characters: fits
  const std::string long63 = std::string(58, 'x') + "ndis3";  // 63 characters: does not fit
  const Case cases[] = {
      {"ndis3", "ethernet", true},
      {"ndis2,ndis3", "ethernet", true},
      {"ndis3,ndis4", "ethernet", true},
      {"NDIS3", "ethernet", false},
      {"ndis2", "ethernet", false},
      {"ndis3", "Ethernet", false},
      {"ndis3", "ethernet,token", false},
      {"ndis3", "ether", false},
      {"", "ethernet", false},
      {"ndis3", "", false},
      {long62.c_str(), "ethernet", true},
      {long63.c_str(), "ethernet", false},
  };
  for (const Case& c : cases) {
    Notebook nb;
    nb.adapter("0000", "Card", c.upper, c.lower);
    EXPECT_EQ(listed(nb).size(), c.listed ? 1u : 0u) << "Upper=" << c.upper << " Lower=" << c.lower;
  }
}

TEST(CollectAdapters, DescriptionFitsIn62CharactersAndIsOptional) {
  Notebook nb;
  const std::string d62(62, 'a');
  const std::string d63(63, 'b');
  nb.adapter("0000", d62);
  nb.adapter("0001", d63);
  nb.adapter("0002", "");
  EXPECT_EQ(listed(nb), (std::vector<Listed>{{0, "0000", d62}, {1, "0001", ""}, {2, "0002", ""}}));
}

TEST(CollectAdapters, SkipsAdaptersWithoutInterfacesOrThatCannotBeOpened) {
  Notebook nb;
  nb.adapter("0000", "Bound");
  nb.adapter("0001", "No interfaces", "", "");
  nb.adapter("0002", "Locked");
  nb.registry.key(std::string(kNet) + "\\0002").failOpen = true;
  nb.adapter("0003", "Interfaces locked");
  nb.registry.key(std::string(kNet) + "\\0003\\Ndi\\Interfaces").failOpen = true;
  nb.adapter("0004", "Also bound");
  EXPECT_EQ(listed(nb), (std::vector<Listed>{{0, "0000", "Bound"}, {4, "0004", "Also bound"}}));
}

TEST(CollectAdapters, NamesWithoutLeadingDigitsAndLongNames) {
  Notebook nb;
  nb.adapter("0003", "Three");
  nb.adapter("Card", "Letters");
  nb.adapter(std::string(32, '7'), "Name too long");  // skipped: does not fit the name field
  nb.adapter(std::string(31, '8'), "Longest name");
  nb.adapter(" -1x", "Signed");
  EXPECT_EQ(listed(nb), (std::vector<Listed>{{-1, " -1x", "Signed"},
                                             {0, "Card", "Letters"},
                                             {3, "0003", "Three"},
                                             {2147483647, std::string(31, '8'), "Longest name"}}));
}

// Entries numbered 2, 2 and 1 end as 1, the second 2, then the first 2: the
// exchange sort is not stable.
TEST(CollectAdapters, ExchangeSortIsNotStable) {
  Notebook nb;
  nb.adapter("2a", "First two");
  nb.adapter("2b", "Second two");
  nb.adapter("1", "One");
  EXPECT_EQ(listed(nb), (std::vector<Listed>{{1, "1", "One"}, {2, "2b", "Second two"}, {2, "2a", "First two"}}));
}

TEST(CollectAdapters, StopsAtOneHundredEntries) {
  Notebook nb;
  for (int i = 104; i >= 0; --i) {
    char name[8];
    std::snprintf(name, sizeof name, "%04d", i);
    nb.adapter(name, "Card");
  }
  const auto list = listed(nb);
  ASSERT_EQ(list.size(), 100u);
  // Enumerated 0104 down to 0005, sorted.
  EXPECT_EQ(list.front().name, "0005");
  EXPECT_EQ(list.back().name, "0104");
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), [](auto& a, auto& b) { return a.number < b.number; }));
  const auto& calls = nb.registry.calls();
  EXPECT_EQ(
      std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.starts_with("RegEnumKeyExA"); }),
      100);
}

TEST(CollectAdapters, MissingClassKeyGivesNone) {
  Notebook nb;
  EXPECT_TRUE(listed(nb).empty());
  nb.adapter("0000", "Card");
  nb.registry.key(kNet).failOpen = true;
  EXPECT_TRUE(listed(nb).empty());
}

}  // namespace
}  // namespace oidview
