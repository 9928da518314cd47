#include "sim/device_sim.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "sim/machine.h"
#include "sim/registry_sim.h"

namespace sim {

namespace {

// The overlapped record's status while a request is outstanding.
constexpr ULONG_PTR kStatusPending = 0x103;

// Where the response fields lie.
constexpr DWORD kStatusAt = 0;
constexpr DWORD kDataOffsetAt = 4;
constexpr DWORD kDataLengthAt = 8;
constexpr DWORD kResponseHeader = 60;
constexpr DWORD kRequestSize = 32;

DWORD readLe32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}

void writeLe32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
}

std::string hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

std::string handleText(HANDLE handle) { return hex(static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(handle))); }

bool parseCompletion(std::string_view text, Completion& completion) {
  if (text == "immediate")
    completion = Completion::immediate;
  else if (text == "pending")
    completion = Completion::pending;
  else if (text == "fails")
    completion = Completion::pendingFails;
  else
    return false;
  return true;
}

bool parseHexBytes(std::string_view text, std::vector<BYTE>& bytes) {
  bytes.clear();
  int digits = 0;
  unsigned current = 0;
  for (char c : text) {
    unsigned v = 0;
    if (c >= '0' && c <= '9')
      v = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      v = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      v = static_cast<unsigned>(c - 'A' + 10);
    else if (c == ' ' || c == ',' || c == '-' || c == ':') {
      if (digits == 1) return false;
      continue;
    } else {
      return false;
    }
    current = current << 4 | v;
    if (++digits == 2) {
      bytes.push_back(static_cast<BYTE>(current));
      digits = 0;
      current = 0;
    }
  }
  return digits == 0;
}

}  // namespace

DeviceAnswer& SimDevice::answer(std::string_view adapter, DWORD oid, std::vector<BYTE> data, DWORD status) {
  DeviceAnswer a;
  a.adapter = std::string(adapter);
  a.oid = oid;
  a.status = status;
  a.data = std::move(data);
  answers.push_back(std::move(a));
  return answers.back();
}

int SimDevice::openDevices() const {
  return static_cast<int>(
      std::count_if(handles_.begin(), handles_.end(), [](const auto& h) { return h.second.kind == Kind::device; }));
}

int SimDevice::openEvents() const {
  return static_cast<int>(
      std::count_if(handles_.begin(), handles_.end(), [](const auto& h) { return h.second.kind == Kind::event; }));
}

HANDLE SimDevice::newHandle(Object object) {
  const std::uintptr_t id = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(id, object);
  return reinterpret_cast<HANDLE>(id);
}

SimDevice::Object* SimDevice::object(HANDLE handle, Kind kind) {
  auto it = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == handles_.end() || it->second.kind != kind) return nullptr;
  return &it->second;
}

const DeviceAnswer* SimDevice::find(std::string_view adapter, DWORD oid) const {
  for (const DeviceAnswer& a : answers)
    if (a.oid == oid && a.adapter == adapter) return &a;
  return nullptr;
}

HANDLE SimDevice::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES*,
                              DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  const std::string name = fileName == nullptr ? std::string() : std::string(fileName);
  log("CreateFileA(" + name + ", " + hex(desiredAccess) + ", " + hex(shareMode) + ", " + hex(creationDisposition) +
      ", " + hex(flagsAndAttributes) + ")");
  // Device names are found without regard to case, as on Windows.
  if (!installed || asciiLower(name) != asciiLower(kCompanionDeviceName)) {
    lastError_ = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  return newHandle(Object{Kind::device});
}

DWORD SimDevice::respond(BYTE* output, DWORD outputSize, const DeviceAnswer* answer) const {
  if (answer == nullptr) {
    writeLe32(output + kStatusAt, kCompanionStatusFailure);
    writeLe32(output + kDataLengthAt, 0);
    return kResponseHeader;
  }
  writeLe32(output + kStatusAt, answer->status);
  DWORD offset = readLe32(output + kDataOffsetAt);
  if (answer->dataOffset) {
    offset = *answer->dataOffset;
    writeLe32(output + kDataOffsetAt, offset);
  }
  writeLe32(output + kDataLengthAt, answer->dataLength.value_or(static_cast<DWORD>(answer->data.size())));
  // The device writes only inside the buffer it was given.
  DWORD end = kResponseHeader;
  if (offset < outputSize) {
    const std::size_t room = outputSize - offset;
    const std::size_t count = std::min(room, answer->data.size());
    if (count > 0) std::memcpy(output + offset, answer->data.data(), count);
    end = std::max<DWORD>(end, offset + static_cast<DWORD>(count));
  }
  return end;
}

BOOL SimDevice::DeviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBufferSize, void* outBuffer,
                                DWORD outBufferSize, DWORD* bytesReturned, OVERLAPPED* overlapped) {
  log("DeviceIoControl(" + handleText(device) + ", " + hex(ioControlCode) + ", " + std::to_string(inBufferSize) + ", " +
      std::to_string(outBufferSize) + (overlapped != nullptr ? ", overlapped)" : ")"));
  DeviceRequest request;
  request.code = ioControlCode;
  if (inBuffer != nullptr && inBufferSize > 0) {
    const BYTE* in = static_cast<const BYTE*>(inBuffer);
    request.input.assign(in, in + inBufferSize);
  }
  request.outputSize = outBufferSize;
  request.overlapped = overlapped != nullptr;
  if (object(device, Kind::device) == nullptr) return fail(ERROR_INVALID_HANDLE);
  requests_.push_back(request);
  if (ioControlCode != kCompanionQueryCode) return fail(ERROR_INVALID_FUNCTION);
  if (inBuffer == nullptr || inBufferSize < kRequestSize || outBuffer == nullptr || outBufferSize < kResponseHeader ||
      overlapped == nullptr)
    return fail(ERROR_INVALID_PARAMETER);
  if (failError != 0) return fail(failError);

  // The request: the adapter name at nameOffset (a zero-terminated text inside
  // the request), the object identifier at 12.
  const BYTE* in = static_cast<const BYTE*>(inBuffer);
  const DWORD nameOffset = readLe32(in + 4);
  std::string adapter;
  for (DWORD i = nameOffset; i < inBufferSize && in[i] != 0; ++i) adapter.push_back(static_cast<char>(in[i]));
  const DWORD oid = readLe32(in + 12);
  const DeviceAnswer* answer = find(adapter, oid);
  if (answer != nullptr && answer->failError != 0) return fail(answer->failError);

  BYTE* out = static_cast<BYTE*>(outBuffer);
  const Completion how = answer != nullptr && answer->completion ? *answer->completion : completion;
  Object* event = overlapped->hEvent != nullptr ? object(overlapped->hEvent, Kind::event) : nullptr;
  if (how == Completion::immediate) {
    const DWORD written = respond(out, outBufferSize, answer);
    overlapped->Internal = 0;
    overlapped->InternalHigh = written;
    if (event != nullptr) event->signalled = true;
    if (bytesReturned != nullptr) *bytesReturned = written;
    return TRUE;
  }
  // Outstanding: the event is reset now and signalled on completion.
  overlapped->Internal = kStatusPending;
  overlapped->InternalHigh = 0;
  if (event != nullptr) event->signalled = false;
  pending_.push_back(Pending{device, overlapped->hEvent, overlapped, out, outBufferSize,
                             answer != nullptr ? *answer : DeviceAnswer{}, answer != nullptr,
                             how == Completion::pendingFails});
  return fail(ERROR_IO_PENDING);
}

void SimDevice::complete(std::size_t index) {
  Pending p = pending_[index];
  pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(index));
  if (p.fails) {
    p.overlapped->Internal = ERROR_GEN_FAILURE;
    p.overlapped->InternalHigh = 0;
  } else {
    p.overlapped->InternalHigh = respond(p.output, p.outputSize, p.known ? &p.answer : nullptr);
    p.overlapped->Internal = 0;
  }
  if (Object* event = object(p.event, Kind::event)) event->signalled = true;
}

HANDLE SimDevice::CreateEventA(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, const char* name) {
  log("CreateEventA(" + std::to_string(manualReset) + ", " + std::to_string(initialState) + ", " +
      (name == nullptr ? std::string("NULL") : "\"" + std::string(name) + "\"") + ")");
  if (failEvents) {
    lastError_ = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  return newHandle(Object{Kind::event, initialState != FALSE, manualReset != FALSE});
}

DWORD SimDevice::WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  log("WaitForSingleObject(" + handleText(handle) + ", " + hex(milliseconds) + ")");
  Object* event = object(handle, Kind::event);
  if (event == nullptr || failWaits) {
    lastError_ = ERROR_INVALID_HANDLE;
    return WAIT_FAILED;
  }
  // The device completes an outstanding request while its caller waits.
  for (std::size_t i = 0; i < pending_.size(); ++i)
    if (pending_[i].event == handle) {
      complete(i);
      break;
    }
  if (event->signalled) {
    if (!event->manualReset) event->signalled = false;
    return WAIT_OBJECT_0;
  }
  if (milliseconds == INFINITE) ++endlessWaits_;
  return WAIT_TIMEOUT;
}

BOOL SimDevice::GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* bytesTransferred, BOOL wait) {
  log("GetOverlappedResult(" + handleText(file) + ", " + std::to_string(wait) + ")");
  if (object(file, Kind::device) == nullptr || overlapped == nullptr) return fail(ERROR_INVALID_HANDLE);
  if (overlapped->Internal == kStatusPending) {
    auto it =
        std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) { return p.overlapped == overlapped; });
    if (!wait || it == pending_.end()) return fail(ERROR_IO_INCOMPLETE);
    complete(static_cast<std::size_t>(it - pending_.begin()));
  }
  if (overlapped->Internal != 0) return fail(static_cast<DWORD>(overlapped->Internal));
  if (bytesTransferred != nullptr) *bytesTransferred = static_cast<DWORD>(overlapped->InternalHigh);
  return TRUE;
}

BOOL SimDevice::CloseHandle(HANDLE handle) {
  log("CloseHandle(" + handleText(handle) + ")");
  auto it = handles_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == handles_.end()) {
    ++badCloses_;
    return fail(ERROR_INVALID_HANDLE);
  }
  if (it->second.kind == Kind::device) {
    const auto left =
        std::remove_if(pending_.begin(), pending_.end(), [&](const Pending& p) { return p.device == handle; });
    abandoned_ += static_cast<int>(pending_.end() - left);
    pending_.erase(left, pending_.end());
  }
  handles_.erase(it);
  return TRUE;
}

bool loadDevice(SimDevice& device, const toml::table& profile, std::string& error) {
  const toml::table* section = profile["device"].as_table();
  if (section == nullptr) return true;
  long long number = 0;
  if (const toml::node* installed = section->get("installed")) {
    if (!installed->is_boolean()) {
      error = "[device] installed must be true or false";
      return false;
    }
    device.installed = installed->value_or(false);
  }
  if (auto how = (*section)["completion"].value<std::string>()) {
    if (!parseCompletion(*how, device.completion)) {
      error = "[device] completion must be immediate, pending or fails";
      return false;
    }
  }
  if (profileInteger(section->get("fail"), number)) device.failError = static_cast<DWORD>(number);

  const toml::array* list = (*section)["answer"].as_array();
  if (list == nullptr) return true;
  int index = 0;
  for (const toml::node& node : *list) {
    ++index;
    const std::string where = "[[device.answer]] #" + std::to_string(index) + ": ";
    const toml::table* t = node.as_table();
    if (t == nullptr) {
      error = where + "must be a table";
      return false;
    }
    DeviceAnswer a;
    auto adapter = (*t)["adapter"].value<std::string>();
    if (!adapter || !profileInteger(t->get("oid"), number)) {
      error = where + "needs adapter and oid";
      return false;
    }
    a.adapter = *adapter;
    a.oid = static_cast<DWORD>(number);
    int forms = 0;
    if (auto data = (*t)["data"].value<std::string>()) {
      ++forms;
      if (!parseHexBytes(*data, a.data)) {
        error = where + "data must be hexadecimal bytes, as \"a0 86 01 00\"";
        return false;
      }
    }
    if (profileInteger(t->get("dword"), number)) {
      ++forms;
      const auto v = static_cast<std::uint32_t>(number);
      for (int i = 0; i < 4; ++i) a.data.push_back(static_cast<BYTE>(v >> (8 * i)));
    }
    if (profileInteger(t->get("qword"), number)) {
      ++forms;
      const auto v = static_cast<std::uint64_t>(number);
      for (int i = 0; i < 8; ++i) a.data.push_back(static_cast<BYTE>(v >> (8 * i)));
    }
    if (auto text = (*t)["text"].value<std::string>()) {
      ++forms;
      a.data.assign(text->begin(), text->end());
      a.data.push_back(0);
    }
    if (forms > 1) {
      error = where + "give the value once: data, dword, qword or text";
      return false;
    }
    if (profileInteger(t->get("status"), number)) a.status = static_cast<DWORD>(number);
    if (profileInteger(t->get("length"), number)) a.dataLength = static_cast<DWORD>(number);
    if (profileInteger(t->get("offset"), number)) a.dataOffset = static_cast<DWORD>(number);
    if (profileInteger(t->get("fail"), number)) a.failError = static_cast<DWORD>(number);
    if (auto how = (*t)["completion"].value<std::string>()) {
      Completion c = Completion::immediate;
      if (!parseCompletion(*how, c)) {
        error = where + "completion must be immediate, pending or fails";
        return false;
      }
      a.completion = c;
    }
    device.answers.push_back(std::move(a));
  }
  return true;
}

}  // namespace sim
