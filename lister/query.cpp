// The query channel: one device control request to the companion device for
// the value of one object.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "oidview.h"

namespace oidview {

namespace {

constexpr DWORD kQueryCode = 0x7434000A;  // device 0x7434, function 2, METHOD_OUT_DIRECT
constexpr DWORD kStatusFailure = 0xC0000001u;
constexpr std::size_t kAdapterNameField = 8;

// The request the device reads; all fields little-endian.
struct QueryRequest {
  DWORD reserved0;
  DWORD nameOffset;
  DWORD nameLength;
  DWORD oid;
  DWORD reserved1[2];
  char adapterName[kAdapterNameField];
};
static_assert(sizeof(QueryRequest) == 32);
static_assert(offsetof(QueryRequest, nameOffset) == 4);
static_assert(offsetof(QueryRequest, nameLength) == 8);
static_assert(offsetof(QueryRequest, oid) == 12);
static_assert(offsetof(QueryRequest, adapterName) == 24);

// The head of the response; the value bytes follow it.
struct QueryResponse {
  DWORD status;
  DWORD dataOffset;
  DWORD dataLength;
  BYTE reserved[48];
};
static_assert(sizeof(QueryResponse) == 60);
static_assert(offsetof(QueryResponse, dataOffset) == 4);
static_assert(offsetof(QueryResponse, dataLength) == 8);

constexpr DWORD kResponseHead = sizeof(QueryResponse);

// Closes the request's event however the query ends.
class EventGuard {
 public:
  EventGuard(platform::DeviceIo& device, HANDLE event) : device_(device), event_(event) {}
  EventGuard(const EventGuard&) = delete;
  EventGuard& operator=(const EventGuard&) = delete;
  ~EventGuard() {
    if (event_ != nullptr) device_.CloseHandle(event_);
  }

 private:
  platform::DeviceIo& device_;
  HANDLE event_;
};

}  // namespace

bool queryObject(Lister& lister, DWORD oid, std::span<BYTE> destination, DWORD& length) {
  const DWORD capacity = length;
  if (capacity > destination.size() || capacity > 0xFFFFFFFFu - sizeof(QueryResponse)) return false;
  // The request's name field holds 7 characters and the terminator; a longer
  // name is never cut short to some other adapter's name.
  const auto& selected = lister.selectedAdapter;
  const auto nameSize = static_cast<std::size_t>(std::find(selected.begin(), selected.end(), '\0') - selected.begin());
  if (nameSize >= kAdapterNameField) return false;

  auto request = std::unique_ptr<QueryRequest>(new (std::nothrow) QueryRequest{});
  const DWORD responseSize = kResponseHead + capacity;
  auto response = std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[responseSize]());
  if (!request || !response) return false;

  request->nameOffset = offsetof(QueryRequest, adapterName);
  request->nameLength = 5;  // a four-digit name and its terminator, whatever the name
  request->oid = oid;
  std::memcpy(request->adapterName, lister.selectedAdapter.data(), nameSize);

  QueryResponse head{};
  head.dataOffset = kResponseHead;
  head.dataLength = capacity;
  std::memcpy(response.get(), &head, sizeof head);

  platform::DeviceIo& device = lister.device;
  HANDLE event = device.CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) return false;
  EventGuard eventGuard(device, event);
  OVERLAPPED overlapped{};
  overlapped.hEvent = event;

  bool completed = false;
  if (device.DeviceIoControl(lister.deviceHandle, kQueryCode, request.get(), sizeof(QueryRequest), response.get(),
                             responseSize, &length, &overlapped)) {
    completed = true;
  } else if (device.GetLastError() == static_cast<DWORD>(ERROR_IO_PENDING)) {
    device.WaitForSingleObject(event, INFINITE);
    completed = device.GetOverlappedResult(lister.deviceHandle, &overlapped, &length, FALSE) != FALSE;
    // A wait that failed leaves the request outstanding: the buffers are not
    // released while the device may still write into them.
    if (!completed && device.GetLastError() == static_cast<DWORD>(ERROR_IO_INCOMPLETE))
      completed = device.GetOverlappedResult(lister.deviceHandle, &overlapped, &length, TRUE) != FALSE;
  }
  if (!completed) return false;

  std::memcpy(&head, response.get(), sizeof head);
  if (head.status == kStatusFailure) return false;
  // A reply that puts the value outside the response is no value: nothing is
  // read outside the buffer and nothing beyond the caller's capacity.
  if (head.dataLength > capacity || head.dataOffset > responseSize || head.dataLength > responseSize - head.dataOffset)
    return false;
  if (head.dataLength > 0) std::memcpy(destination.data(), response.get() + head.dataOffset, head.dataLength);
  length = head.dataLength;
  return true;
}

}  // namespace oidview
