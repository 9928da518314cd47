#include "sim/device_sim.h"

#include <array>

#include <gtest/gtest.h>

#include "sim/language_sim.h"

namespace sim {
namespace {

constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kFlags = FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL;

HANDLE open(SimDevice& device, const char* name = "\\\\.\\KVELDNAV.VXD") {
  return device.CreateFileA(name, kAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, kFlags, nullptr);
}

std::array<BYTE, 32> request(const char* adapter, DWORD oid) {
  std::array<BYTE, 32> r{};
  r[4] = 24;
  r[8] = 5;
  for (int i = 0; i < 4; ++i) r[12 + i] = static_cast<BYTE>(oid >> (8 * i));
  for (int i = 0; adapter[i] != 0 && i < 7; ++i) r[24 + i] = static_cast<BYTE>(adapter[i]);
  return r;
}

DWORD le32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<DWORD>(p[3]) << 24; }

TEST(SimDevice, OpensOnlyTheCompanionDeviceWhenInstalled) {
  SimDevice device;
  EXPECT_EQ(open(device), INVALID_HANDLE_VALUE);
  EXPECT_EQ(device.GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  device.installed = true;
  EXPECT_EQ(open(device, "\\\\.\\OTHER.VXD"), INVALID_HANDLE_VALUE);
  HANDLE h = open(device, "\\\\.\\kveldnav.vxd");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(device.openDevices(), 1);
  EXPECT_TRUE(device.CloseHandle(h));
  EXPECT_FALSE(device.CloseHandle(h));
  EXPECT_EQ(device.badCloses(), 1);
  EXPECT_EQ(device.openHandles(), 0);
}

// A pending request is answered only while its caller waits on the event, so
// a caller that reads the response before waiting sees nothing.
TEST(SimDevice, PendingRequestCompletesThroughTheEvent) {
  SimDevice device;
  device.installed = true;
  device.completion = Completion::pending;
  device.answer("0000", 0x10107, {0xa0, 0x86, 0x01, 0x00});
  HANDLE h = open(device);
  HANDLE event = device.CreateEventA(nullptr, TRUE, FALSE, nullptr);
  OVERLAPPED ov{};
  ov.hEvent = event;
  auto req = request("0000", 0x10107);
  std::array<BYTE, 64> resp{};
  resp[4] = 60;
  DWORD returned = 0;
  EXPECT_FALSE(device.DeviceIoControl(h, kCompanionQueryCode, req.data(), 32, resp.data(), 64, &returned, &ov));
  EXPECT_EQ(device.GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_FALSE(device.GetOverlappedResult(h, &ov, &returned, FALSE));
  EXPECT_EQ(device.GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));
  EXPECT_EQ(le32(resp.data() + 8), 0u);
  EXPECT_EQ(device.WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(device.GetOverlappedResult(h, &ov, &returned, FALSE));
  EXPECT_EQ(le32(resp.data() + 0), 0u);
  EXPECT_EQ(le32(resp.data() + 8), 4u);
  EXPECT_EQ(le32(resp.data() + 60), 100000u);
  ASSERT_EQ(device.requests().size(), 1u);
  EXPECT_EQ(device.requests()[0].input, std::vector<BYTE>(req.begin(), req.end()));
  EXPECT_EQ(device.requests()[0].outputSize, 64u);
  EXPECT_TRUE(device.CloseHandle(event));
  EXPECT_TRUE(device.CloseHandle(h));
  EXPECT_EQ(device.abandonedRequests(), 0);
}

TEST(SimDevice, UnknownObjectsGetTheFailureStatusAndOtherCodesAreRefused) {
  SimDevice device;
  device.installed = true;
  HANDLE h = open(device);
  OVERLAPPED ov{};
  auto req = request("0000", 0x10102);
  std::array<BYTE, 64> resp{};
  DWORD returned = 0;
  EXPECT_TRUE(device.DeviceIoControl(h, kCompanionQueryCode, req.data(), 32, resp.data(), 64, &returned, &ov));
  EXPECT_EQ(le32(resp.data()), kCompanionStatusFailure);
  EXPECT_FALSE(device.DeviceIoControl(h, 0x74340006, req.data(), 32, resp.data(), 64, &returned, &ov));
  EXPECT_EQ(device.GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  device.CloseHandle(h);
}

TEST(SimDevice, ProfileSectionsGiveAnswersAndLanguage) {
  toml::parse_result parsed = toml::parse(R"(
[user]
language = 0x0411
[device]
installed = true
completion = "pending"
[[device.answer]]
adapter = "0000"
oid = 0x00010107
dword = 100000
[[device.answer]]
adapter = "0000"
oid = "0x0001010D"
text = "E100B"
status = 0x12
[[device.answer]]
adapter = "0002"
oid = 0x00020201
qword = 4294967296
offset = 64
completion = "immediate"
[[device.answer]]
adapter = "0002"
oid = 0x01010102
data = "00-00-0e:12 34,56"
length = 300
fail = 31
)");
  ASSERT_TRUE(parsed);
  SimDevice device;
  SimLanguage language;
  std::string error;
  ASSERT_TRUE(loadDevice(device, parsed.table(), error)) << error;
  ASSERT_TRUE(loadLanguage(language, parsed.table(), error)) << error;
  EXPECT_EQ(language.GetUserDefaultLangID(), 0x0411);
  EXPECT_TRUE(device.installed);
  EXPECT_EQ(device.completion, Completion::pending);
  ASSERT_EQ(device.answers.size(), 4u);
  EXPECT_EQ(device.answers[0].data, (std::vector<BYTE>{0xa0, 0x86, 0x01, 0x00}));
  EXPECT_EQ(device.answers[1].data, (std::vector<BYTE>{'E', '1', '0', '0', 'B', 0}));
  EXPECT_EQ(device.answers[1].oid, 0x0001010Du);
  EXPECT_EQ(device.answers[1].status, 0x12u);
  EXPECT_EQ(device.answers[2].data, (std::vector<BYTE>{0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(device.answers[2].dataOffset, 64u);
  EXPECT_EQ(device.answers[2].completion, Completion::immediate);
  EXPECT_EQ(device.answers[3].data, (std::vector<BYTE>{0, 0, 0x0e, 0x12, 0x34, 0x56}));
  EXPECT_EQ(device.answers[3].dataLength, 300u);
  EXPECT_EQ(device.answers[3].failError, 31u);

  for (const char* bad :
       {"[device]\ncompletion = \"later\"\n", "[[device.answer]]\nadapter = \"0000\"\noid = 1\ndata = \"1 2\"\n",
        "[[device.answer]]\nadapter = \"0000\"\noid = 1\ndword = 1\ntext = \"x\"\n", "[[device.answer]]\noid = 1\n",
        "[user]\nlanguage = \"Japanese\"\n"}) {
    toml::parse_result p = toml::parse(bad);
    ASSERT_TRUE(p) << bad;
    SimDevice d;
    SimLanguage l;
    error.clear();
    EXPECT_FALSE(loadDevice(d, p.table(), error) && loadLanguage(l, p.table(), error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

}  // namespace
}  // namespace sim
