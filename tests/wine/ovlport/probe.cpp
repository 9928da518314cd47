// A minimal host for ovlport.dll: loads it from its own folder, finds the two
// exports by name and by ordinal, and prints what DriverProc and vpmDriverProc
// answer.  Used by the end-to-end test under Wine.
#include <windows.h>

#include <cstdio>

namespace {

using DriverProcFn = LRESULT(WINAPI*)(DWORD_PTR, HANDLE, UINT, LPARAM, LPARAM);
using VpmDriverProcFn = LONG(WINAPI*)(DWORD, DWORD, void**);

template <typename Fn>
Fn procedure(HMODULE library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

}  // namespace

int main() {
  HMODULE library = LoadLibraryA("ovlport.dll");
  if (library == nullptr) {
    std::printf("LoadLibrary failed: %lu\n", GetLastError());
    return 1;
  }
  auto driverProc = procedure<DriverProcFn>(library, "DriverProc");
  auto vpmDriverProc = procedure<VpmDriverProcFn>(library, "vpmDriverProc");
  auto ordinal101 = procedure<DriverProcFn>(library, MAKEINTRESOURCEA(101));
  auto ordinal102 = procedure<VpmDriverProcFn>(library, MAKEINTRESOURCEA(102));
  std::printf("DriverProc: %s, ordinal 101: %s\n", driverProc ? "found" : "missing",
              ordinal101 != nullptr && ordinal101 == driverProc ? "the same" : "different");
  std::printf("vpmDriverProc: %s, ordinal 102: %s\n", vpmDriverProc ? "found" : "missing",
              ordinal102 != nullptr && ordinal102 == vpmDriverProc ? "the same" : "different");
  if (driverProc == nullptr || vpmDriverProc == nullptr) return 1;

  for (UINT message = 0; message <= 16; ++message)
    std::printf("DriverProc %u: %ld\n", message, static_cast<long>(driverProc(0, nullptr, message, 0, 0)));

  void* const untouched = reinterpret_cast<void*>(static_cast<ULONG_PTR>(0x1234));
  void* slot = untouched;
  struct Call {
    DWORD interfaceId;
    DWORD version;
    bool slot;
  };
  const Call calls[] = {{0x4002, 0x10100, false}, {0x4001, 0x10101, true}, {0x4001, 0x10100, false},
                        {0x4001, 0x10100, true}};
  for (const Call& call : calls) {
    slot = untouched;
    const LONG result = vpmDriverProc(call.interfaceId, call.version, call.slot ? &slot : nullptr);
    std::printf("vpmDriverProc 0x%lx 0x%lx %s: %ld%s\n", static_cast<unsigned long>(call.interfaceId),
                static_cast<unsigned long>(call.version), call.slot ? "slot" : "null", static_cast<long>(result),
                call.slot ? (slot == untouched ? ", slot unchanged" : ", slot written") : "");
  }
  std::printf("FreeLibrary: %s\n", FreeLibrary(library) ? "ok" : "failed");
  return 0;
}
