#include <cstring>

#include <gtest/gtest.h>

#include "test_support.h"

namespace oidview {
namespace {

using sim::Completion;
using testing::Notebook;

constexpr DWORD kLinkSpeed = 0x00010107;

struct Channel : Notebook {
  Channel(const char* adapter = "0000") {
    device.installed = true;
    lister.deviceHandle = device.CreateFileA("\\\\.\\KVELDNAV.VXD", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             CREATE_ALWAYS, FILE_FLAG_OVERLAPPED, nullptr);
    std::strncpy(lister.selectedAdapter.data(), adapter, lister.selectedAdapter.size() - 1);
  }
  bool query(DWORD oid, std::vector<BYTE>& value) {
    std::array<BYTE, 256> buffer{};
    DWORD length = 256;
    const bool ok = queryObject(lister, oid, buffer, length);
    value.assign(buffer.begin(), buffer.begin() + (ok ? length : 0));
    // Both buffers and the event are gone after every call; the request is
    // not left outstanding.
    EXPECT_EQ(device.openEvents(), 0);
    EXPECT_EQ(device.openDevices(), 1);
    EXPECT_EQ(device.endlessWaits(), 0);
    return ok;
  }
};

std::vector<BYTE> requestBytes(const char* name, DWORD oid) {
  std::vector<BYTE> r(32, 0);
  r[4] = 24;
  r[8] = 5;
  for (int i = 0; i < 4; ++i) r[12 + i] = static_cast<BYTE>(oid >> (8 * i));
  std::memcpy(r.data() + 24, name, std::strlen(name));
  return r;
}

TEST(QueryObject, SendsTheRequestRecordWithNameLengthAlwaysFive) {
  for (const char* name : {"0000", "12", "1234567", ""}) {
    Channel ch(name);
    std::vector<BYTE> value;
    ch.query(kLinkSpeed, value);
    ASSERT_EQ(ch.device.requests().size(), 1u) << name;
    const sim::DeviceRequest& r = ch.device.requests()[0];
    EXPECT_EQ(r.code, 0x7434000Au);
    EXPECT_EQ(r.input, requestBytes(name, kLinkSpeed)) << name;
    EXPECT_EQ(r.outputSize, 316u);
    EXPECT_TRUE(r.overlapped);
  }
}

// An adapter name that does not fit the request is never cut to another name.
TEST(QueryObject, NameLongerThanSevenCharactersGivesNoValue) {
  Channel ch("12345678");
  ch.device.answer("1234567", kLinkSpeed, {1, 2, 3, 4});
  std::vector<BYTE> value;
  EXPECT_FALSE(ch.query(kLinkSpeed, value));
  EXPECT_TRUE(ch.device.requests().empty());
}

TEST(QueryObject, RepliesImmediateAndPending) {
  struct Case {
    const char* what;
    DWORD status;
    std::vector<BYTE> data;
    std::optional<DWORD> length;
    std::optional<DWORD> offset;
    bool ok;
    std::vector<BYTE> value;
  };
  const std::vector<BYTE> mac{0x00, 0x00, 0x0e, 0x12, 0x34, 0x56};
  const Case cases[] = {
      {"six address bytes", 0, mac, {}, {}, true, mac},
      {"status 0, no bytes", 0, {}, {}, {}, true, {}},
      {"failure status", 0xC0000001u, {1, 2, 3, 4}, {}, {}, false, {}},
      {"other failure status passes the bytes", 0xC0000010u, {1, 2, 3, 4}, {}, {}, true, {1, 2, 3, 4}},
      {"value moved to 100", 0, {9, 8, 7}, {}, 100, true, {9, 8, 7}},
      {"value at the end of the response", 0, {5, 6, 7, 8}, {}, 312, true, {5, 6, 7, 8}},
      {"full capacity", 0, std::vector<BYTE>(256, 0xab), {}, {}, true, std::vector<BYTE>(256, 0xab)},
      {"length above the capacity", 0, std::vector<BYTE>(256, 1), 257, {}, false, {}},
      {"value past the end of the response", 0, {5, 6, 7, 8}, {}, 313, false, {}},
      {"offset beyond the response", 0, {}, 4, 400, false, {}},
      {"offset that wraps", 0, {}, 32, 0xFFFFFFF0u, false, {}},
  };
  for (Completion how : {Completion::immediate, Completion::pending}) {
    for (const Case& c : cases) {
      Channel ch;
      ch.device.completion = how;
      sim::DeviceAnswer& a = ch.device.answer("0000", kLinkSpeed, c.data, c.status);
      a.dataLength = c.length;
      a.dataOffset = c.offset;
      std::vector<BYTE> value;
      EXPECT_EQ(ch.query(kLinkSpeed, value), c.ok) << c.what;
      EXPECT_EQ(value, c.value) << c.what;
    }
  }
}

// The response is read only after the wait and the completion check.
TEST(QueryObject, PendingRequestIsAwaitedThenCollected) {
  Channel ch;
  ch.device.completion = Completion::pending;
  ch.device.answer("0000", kLinkSpeed, {0xa0, 0x86, 0x01, 0x00});
  std::vector<BYTE> value;
  ASSERT_TRUE(ch.query(kLinkSpeed, value));
  EXPECT_EQ(value, (std::vector<BYTE>{0xa0, 0x86, 0x01, 0x00}));
  const std::vector<std::string>& calls = ch.device.calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[1], "CreateEventA(1, 0, NULL)");
  EXPECT_TRUE(calls[2].starts_with("DeviceIoControl(")) << calls[2];
  EXPECT_TRUE(calls[3].starts_with("WaitForSingleObject(") && calls[3].ends_with(", 0xFFFFFFFF)")) << calls[3];
  EXPECT_TRUE(calls[4].starts_with("GetOverlappedResult(") && calls[4].ends_with(", 0)")) << calls[4];
  EXPECT_TRUE(calls[5].starts_with("CloseHandle(")) << calls[5];
}

TEST(QueryObject, FailuresGiveNoValueAndReleaseEverything) {
  {
    Channel ch;  // the completion of a pending request reports failure
    ch.device.completion = Completion::pendingFails;
    ch.device.answer("0000", kLinkSpeed, {1, 2, 3, 4});
    std::vector<BYTE> value;
    EXPECT_FALSE(ch.query(kLinkSpeed, value));
  }
  {
    Channel ch;  // DeviceIoControl fails outright
    ch.device.answer("0000", kLinkSpeed, {1, 2, 3, 4}).failError = ERROR_GEN_FAILURE;
    std::vector<BYTE> value;
    EXPECT_FALSE(ch.query(kLinkSpeed, value));
    EXPECT_EQ(ch.device.calls().back().rfind("CloseHandle(", 0), 0u);
  }
  {
    Channel ch;  // no event
    ch.device.failEvents = true;
    ch.device.answer("0000", kLinkSpeed, {1, 2, 3, 4});
    std::vector<BYTE> value;
    EXPECT_FALSE(ch.query(kLinkSpeed, value));
    EXPECT_TRUE(ch.device.requests().empty());
  }
  {
    Channel ch;  // the wait fails: the request is still collected before the buffers go
    ch.device.completion = Completion::pending;
    ch.device.failWaits = true;
    ch.device.answer("0000", kLinkSpeed, {1, 2, 3, 4});
    std::vector<BYTE> value;
    EXPECT_TRUE(ch.query(kLinkSpeed, value));
    EXPECT_EQ(value, (std::vector<BYTE>{1, 2, 3, 4}));
    ch.device.CloseHandle(ch.lister.deviceHandle);
    EXPECT_EQ(ch.device.abandonedRequests(), 0);
  }
  {
    Channel ch;  // an object the device does not know
    std::vector<BYTE> value;
    EXPECT_FALSE(ch.query(0x01020207, value));
  }
}

}  // namespace
}  // namespace oidview
