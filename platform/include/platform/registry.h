// The registry as the kit's tools reach it: the Win32 registry calls under the
// predefined keys, with the platform's arguments and result codes.
#pragma once

#include "platform/win32_api.h"

namespace platform {

class Registry {
 public:
  virtual ~Registry() = default;
  virtual LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, HKEY* result) = 0;
  virtual LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                               REGSAM desired, SECURITY_ATTRIBUTES* security, HKEY* result,
                               DWORD* disposition) = 0;
  virtual LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                             char* keyClass, DWORD* classSize, FILETIME* lastWriteTime) = 0;
  virtual LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                DWORD* dataSize) = 0;
  virtual LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD dataSize) = 0;
  virtual LONG RegDeleteValueA(HKEY key, const char* valueName) = 0;
  virtual LONG RegCloseKey(HKEY key) = 0;
};

// Closes a registry key when it goes out of scope.
class RegKey {
 public:
  explicit RegKey(Registry& registry) : registry_(registry) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() { close(); }
  HKEY* put() {
    close();
    return &key_;
  }
  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }
  void close() {
    if (key_ != nullptr) registry_.RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  Registry& registry_;
  HKEY key_ = nullptr;
};

}  // namespace platform
