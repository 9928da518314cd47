// The exports and the driver table's own operations.
#include "overlay/driver_table.h"

#include <cstring>
#include <string>
#include <vector>

#include "overlay/chip_regs.h"
#include "overlay/test_notebook.h"

namespace ovlport_test {
namespace {

using ovlport::VpmAttributeBlock;
using ovlport::VpmDriverTable;

class DriverTableTest : public DriverTest {
 protected:
  void SetUp() override { load(); }
};

TEST_F(DriverTableTest, DriverProcAnswersEachMessageAndTracesOnlyUntrappedOnes) {
  struct Case {
    UINT message;
    LRESULT result;
    const char* trace;  // null: messageBuffer unchanged
  };
  const std::vector<Case> cases = {
      {1, 1, nullptr},  {2, 1, nullptr},  {3, 1, nullptr},  {4, 1, nullptr},
      {5, 1, nullptr},  {6, 1, nullptr},  {7, 0, nullptr},  {8, 0, nullptr},
      {9, 1, nullptr},  {10, 0, nullptr}, {11, 0, nullptr}, {15, 1, nullptr},
      {0, 0, "Untrapped message: 0"},     {12, 0, "Untrapped message: c"},
      {13, 0, "Untrapped message: d"},    {14, 0, "Untrapped message: e"},
      {16, 0, "Untrapped message: 10"},   {0x4000, 0, "Untrapped message: 4000"},
      {0xFFFFFFFF, 0, "Untrapped message: ffffffff"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    std::memset(state.messageBuffer, '#', sizeof state.messageBuffer);
    unsigned char before[sizeof(ovlport::DriverState)];
    std::memcpy(before, &state, sizeof before);

    EXPECT_EQ(DriverProc(0x1234, nullptr, c.message, 5, 6), c.result);

    unsigned char after[sizeof(ovlport::DriverState)];
    std::memcpy(after, &state, sizeof after);
    const std::size_t buffer = offsetof(ovlport::DriverState, messageBuffer);
    // Nothing but messageBuffer changes.
    EXPECT_EQ(std::memcmp(before, after, buffer), 0);
    EXPECT_EQ(std::memcmp(before + buffer + sizeof state.messageBuffer, after + buffer + sizeof state.messageBuffer,
                          sizeof before - buffer - sizeof state.messageBuffer),
              0);
    if (c.trace == nullptr) {
      EXPECT_EQ(std::string(state.messageBuffer, sizeof state.messageBuffer), std::string(32, '#'));
    } else {
      const std::string expected(c.trace);
      ASSERT_LT(expected.size(), sizeof state.messageBuffer);
      EXPECT_EQ(std::string(state.messageBuffer, expected.size() + 1), expected + '\0');
      // Bytes past the terminating zero are not written.
      const std::size_t rest = sizeof state.messageBuffer - expected.size() - 1;
      EXPECT_EQ(std::string(state.messageBuffer + expected.size() + 1, rest), std::string(rest, '#'));
    }
  }
}

struct VpmCase {
  const char* name;
  int generation;
  DWORD interfaceId;
  DWORD version;
  bool nullSlot;
  LONG result;
};

TEST_F(DriverTest, VpmDriverProcChecksInterfaceVersionSlotThenController) {
  const std::vector<VpmCase> cases = {
      {"null slot on an unsupported controller", 2, 0x4001, 0x10100, true, ovlport::errNullArgument},
      {"other interface with a null slot", 3, 0x4002, 0x10100, true, ovlport::errInterface},
      {"other interface and version", 2, 0, 0, true, ovlport::errInterface},
      {"other version", 3, 0x4001, 0x10101, false, ovlport::errVersion},
      {"unsupported controller", 2, 0x4001, 0x10100, false, ovlport::errUnavailable},
      {"supported controller", 3, 0x4001, 0x10100, false, ovlport::resultOk},
  };
  VpmDriverTable* const untouched = reinterpret_cast<VpmDriverTable*>(static_cast<std::uintptr_t>(0x5A5A5A5A));
  for (const VpmCase& c : cases) {
    SCOPED_TRACE(c.name);
    load(display(c.generation, 16));
    VpmDriverTable* slot = untouched;
    EXPECT_EQ(vpmDriverProc(c.interfaceId, c.version, c.nullSlot ? nullptr : &slot), c.result);
    if (c.result == ovlport::resultOk) {
      EXPECT_EQ(slot, &state.driverTable);
    } else {
      EXPECT_EQ(slot, untouched);
      EXPECT_EQ(state.driverTable.size, 0u);
    }
  }
}

TEST_F(DriverTableTest, VpmDriverProcWritesTheTableEachTime) {
  VpmDriverTable* slot = nullptr;
  ASSERT_EQ(vpmDriverProc(0x4001, 0x10100, &slot), 0);
  ASSERT_EQ(slot, &state.driverTable);
  EXPECT_EQ(slot->size, sizeof(VpmDriverTable));
  EXPECT_EQ(slot->closeDriver, &ovlport::closeDriver);
  EXPECT_EQ(slot->queryDriver, &ovlport::queryDriver);
  EXPECT_EQ(slot->negotiate, &ovlport::negotiate);
  EXPECT_EQ(slot->openOverlay, &ovlport::openOverlay);
  EXPECT_EQ(slot->getAttributes, &ovlport::getAttributes);
  EXPECT_EQ(slot->setAttributes, &ovlport::setAttributes);
  EXPECT_EQ(slot->end, 0u);

  // A host that spoilt the table gets it whole again.
  slot->size = 0;
  slot->queryDriver = nullptr;
  VpmDriverTable* again = nullptr;
  ASSERT_EQ(vpmDriverProc(0x4001, 0x10100, &again), 0);
  EXPECT_EQ(again, slot);
  EXPECT_EQ(slot->size, sizeof(VpmDriverTable));
  EXPECT_EQ(slot->queryDriver, &ovlport::queryDriver);
}

TEST_F(DriverTest, QueryDriverAnswersTheLevelOfSupport) {
  load(display(3, 16));
  VpmDriverTable* table = nullptr;
  ASSERT_EQ(vpmDriverProc(0x4001, 0x10100, &table), 0);
  EXPECT_EQ(table->queryDriver(table), 2);
  EXPECT_EQ(ovlport::queryDriver(nullptr), 0);
  table->size = sizeof(VpmDriverTable) + 1;
  EXPECT_EQ(ovlport::queryDriver(table), 0);
  table->size = sizeof(VpmDriverTable);

  // The screen went to 32 bits: the table stays handed out, the level drops.
  screen->bitsPerPixel = 32;
  ovlport::queryScreen();
  EXPECT_EQ(ovlport::queryDriver(table), 1);
  EXPECT_EQ(vpmDriverProc(0x4001, 0x10100, &table), 0);

  // Unsupported from the start: a record of the right size still answers 1.
  load(display(2, 16));
  VpmDriverTable own{};
  own.size = sizeof(VpmDriverTable);
  EXPECT_EQ(ovlport::queryDriver(&own), 1);
  load(display(9, 24));
  EXPECT_EQ(ovlport::queryDriver(&own), 2);
}

TEST_F(DriverTableTest, CloseDriverChecksOnlyItsTable) {
  EXPECT_EQ(ovlport::closeDriver(nullptr), ovlport::errNullArgument);
  EXPECT_EQ(ovlport::closeDriver(&state.driverTable), 0);
}

TEST_F(DriverTableTest, GetAttributesCopiesTheDriversZeroBlock) {
  VpmAttributeBlock request;
  std::memset(&request, 0xAB, sizeof request);
  request.size = 16;
  EXPECT_EQ(ovlport::getAttributes(&state.driverTable, &request), 0);
  const VpmAttributeBlock zero{};
  EXPECT_EQ(std::memcmp(&request, &zero, sizeof request), 0);

  std::memset(&request, 0xAB, sizeof request);
  request.size = 15;
  const VpmAttributeBlock before = request;
  EXPECT_EQ(ovlport::getAttributes(&state.driverTable, &request), ovlport::errInvalidState);
  EXPECT_EQ(std::memcmp(&request, &before, sizeof request), 0);

  EXPECT_EQ(ovlport::getAttributes(nullptr, &request), ovlport::errNullArgument);
  EXPECT_EQ(ovlport::getAttributes(&state.driverTable, nullptr), ovlport::errNullArgument);
}

TEST_F(DriverTableTest, SetAttributesOnTheDriversTableAcceptsOnlyAnEmptyRequest) {
  VpmAttributeBlock request{};
  request.size = 16;
  request.mask = 0x01;
  request.attributes[0] = 9;
  EXPECT_EQ(ovlport::setAttributes(&state.driverTable, &request), ovlport::errAttribute);
  EXPECT_EQ(state.attributeBlock.attributes[0], 0);
  request.mask = 0;
  request.size = 99;  // not looked at
  EXPECT_EQ(ovlport::setAttributes(&state.driverTable, &request), 0);
  EXPECT_EQ(ovlport::setAttributes(nullptr, &request), ovlport::errNullArgument);
  EXPECT_EQ(ovlport::setAttributes(&state.driverTable, nullptr), ovlport::errNullArgument);
}

TEST_F(DriverTableTest, AttributesLieBehindWhateverTableTheHostPasses) {
  // A host table with a block of its own behind it that permits attributes 0
  // and 2.
  struct HostTable {
    VpmDriverTable table;
    VpmAttributeBlock block;
  } host{};
  static_assert(offsetof(HostTable, block) == sizeof(VpmDriverTable));
  host.block.size = 16;
  host.block.mask = 0b00101;

  VpmAttributeBlock request{};
  request.mask = 0b00111;
  request.attributes[0] = 10;
  request.attributes[1] = 11;
  request.attributes[2] = 12;
  // Attribute 0 is stored before attribute 1 is refused; 2 is not reached.
  EXPECT_EQ(ovlport::setAttributes(&host.table, &request), ovlport::errAttribute);
  EXPECT_EQ(host.block.attributes[0], 10);
  EXPECT_EQ(host.block.attributes[1], 0);
  EXPECT_EQ(host.block.attributes[2], 0);

  request.mask = 0b00100;
  EXPECT_EQ(ovlport::setAttributes(&host.table, &request), 0);
  EXPECT_EQ(host.block.attributes[2], 12);

  VpmAttributeBlock out{};
  out.size = 16;
  EXPECT_EQ(ovlport::getAttributes(&host.table, &out), 0);
  EXPECT_EQ(std::memcmp(&out, &host.block, sizeof out), 0);
}

}  // namespace
}  // namespace ovlport_test
