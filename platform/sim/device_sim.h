// The simulated notebook's device I/O and its companion device.
//
// The companion device answers under the name "\\.\KVELDNAV.VXD" when the
// machine has it installed.  It takes the query request (control code
// 0x7434000A): it finds the adapter name and the object identifier in the
// request, and answers from its table of answers (status, value bytes, an
// optional moved value offset), or with the failure status 0xC0000001 when it
// knows no answer.  A request completes at once or through the pending path
// (ERROR_IO_PENDING, then the event is signalled when the caller waits on
// it), or fails outright.  The device records every request as received and
// counts the handles and events left open.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

#include "platform/device_io.h"

namespace sim {

inline constexpr std::string_view kCompanionDeviceName = "\\\\.\\KVELDNAV.VXD";
inline constexpr DWORD kCompanionQueryCode = 0x7434000A;
inline constexpr DWORD kCompanionStatusFailure = 0xC0000001u;

enum class Completion {
  immediate,    // DeviceIoControl returns TRUE
  pending,      // ERROR_IO_PENDING; the response is written when the caller waits
  pendingFails  // ERROR_IO_PENDING; the completion reports a failure, nothing is written
};

// How the device answers one object of one adapter.
struct DeviceAnswer {
  std::string adapter;
  DWORD oid = 0;
  DWORD status = 0;
  std::vector<BYTE> data;
  std::optional<DWORD> dataLength;  // reported length; the number of data bytes when absent
  std::optional<DWORD> dataOffset;  // the value is moved here and the offset reported
  std::optional<Completion> completion;
  DWORD failError = 0;  // non-zero: DeviceIoControl fails at once with this error
};

// One request as the device received it.
struct DeviceRequest {
  DWORD code = 0;
  std::vector<BYTE> input;  // every byte of the input buffer
  DWORD outputSize = 0;
  bool overlapped = false;
};

class SimDevice : public platform::DeviceIo {
 public:
  // The scenario.
  bool installed = false;
  Completion completion = Completion::immediate;  // for answers that name none
  DWORD failError = 0;                            // non-zero: every DeviceIoControl fails with it
  bool failEvents = false;                        // CreateEventA returns NULL
  bool failWaits = false;                         // WaitForSingleObject returns WAIT_FAILED at once
  std::vector<DeviceAnswer> answers;

  DeviceAnswer& answer(std::string_view adapter, DWORD oid, std::vector<BYTE> data, DWORD status = 0);

  // Books kept for tests.
  const std::vector<DeviceRequest>& requests() const { return requests_; }
  const std::vector<std::string>& calls() const { return calls_; }
  int openDevices() const;
  int openEvents() const;
  int openHandles() const { return static_cast<int>(handles_.size()); }
  int badCloses() const { return badCloses_; }
  // Requests whose completion nobody collected when their device was closed.
  int abandonedRequests() const { return abandoned_; }
  // Waits that would never have ended (an event nobody signals, no time-out).
  int endlessWaits() const { return endlessWaits_; }

  HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                     DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) override;
  BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBufferSize, void* outBuffer,
                       DWORD outBufferSize, DWORD* bytesReturned, OVERLAPPED* overlapped) override;
  HANDLE CreateEventA(SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState, const char* name) override;
  DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override;
  BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* bytesTransferred, BOOL wait) override;
  DWORD GetLastError() override { return lastError_; }
  BOOL CloseHandle(HANDLE handle) override;

 private:
  enum class Kind { device, event };
  struct Object {
    Kind kind;
    bool signalled = false;
    bool manualReset = true;
  };
  struct Pending {
    HANDLE device;
    HANDLE event;
    OVERLAPPED* overlapped;
    BYTE* output;
    DWORD outputSize;
    DeviceAnswer answer;
    bool known;
    bool fails;
  };

  HANDLE newHandle(Object object);
  Object* object(HANDLE handle, Kind kind);
  const DeviceAnswer* find(std::string_view adapter, DWORD oid) const;
  DWORD respond(BYTE* output, DWORD outputSize, const DeviceAnswer* answer) const;
  void complete(std::size_t pendingIndex);
  BOOL fail(DWORD error) {
    lastError_ = error;
    return FALSE;
  }
  void log(std::string text) { calls_.push_back(std::move(text)); }

  std::map<std::uintptr_t, Object> handles_;
  std::uintptr_t nextHandle_ = 0x2000;
  std::vector<Pending> pending_;
  std::vector<DeviceRequest> requests_;
  std::vector<std::string> calls_;
  DWORD lastError_ = 0;
  int badCloses_ = 0;
  int abandoned_ = 0;
  int endlessWaits_ = 0;
};

// Reads the [device] section of a machine profile:
//   [device]
//   installed = true            the device can be opened
//   completion = "pending"      immediate (default), pending or fails
//   fail = 31                   every request fails at once with this error
//   [[device.answer]]
//   adapter = "0000"            the adapter name in the request
//   oid = 0x00010107            the object identifier
//   dword = 100000              the value: dword, qword, text, or data = "a0 86 01 00"
//   status = 0                  optional: the completion status written
//   length = 4                  optional: the dataLength reported
//   offset = 64                 optional: where the value is moved and reported
//   completion = "pending"      optional: this answer's completion
//   fail = 31                   optional: this request fails at once
bool loadDevice(SimDevice& device, const toml::table& profile, std::string& error);

}  // namespace sim
