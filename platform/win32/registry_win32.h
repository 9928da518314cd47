// The real Win32 registry and version query.
#pragma once

#include "platform/registry.h"
#include "platform/version.h"

namespace platform {

class Win32Registry : public Registry {
 public:
  LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, HKEY* result) override;
  LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                       REGSAM desired, SECURITY_ATTRIBUTES* security, HKEY* result,
                       DWORD* disposition) override;
  LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, char* keyClass,
                     DWORD* classSize, FILETIME* lastWriteTime) override;
  LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                        DWORD* dataSize) override;
  LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                      DWORD dataSize) override;
  LONG RegDeleteValueA(HKEY key, const char* valueName) override;
  LONG RegCloseKey(HKEY key) override;
};

class Win32Version : public Version {
 public:
  BOOL GetVersionExA(OSVERSIONINFOA* info) override;
};

}  // namespace platform
