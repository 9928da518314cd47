#include "win32/registry_win32.h"

namespace platform {

LONG Win32Registry::RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, HKEY* result) {
  return ::RegOpenKeyExA(key, subKey, options, desired, result);
}

LONG Win32Registry::RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                                    REGSAM desired, SECURITY_ATTRIBUTES* security, HKEY* result,
                                    DWORD* disposition) {
  return ::RegCreateKeyExA(key, subKey, reserved, keyClass, options, desired, security, result, disposition);
}

LONG Win32Registry::RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                                  char* keyClass, DWORD* classSize, FILETIME* lastWriteTime) {
  return ::RegEnumKeyExA(key, index, name, nameSize, reserved, keyClass, classSize, lastWriteTime);
}

LONG Win32Registry::RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                     DWORD* dataSize) {
  return ::RegQueryValueExA(key, valueName, reserved, type, data, dataSize);
}

LONG Win32Registry::RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                                   const BYTE* data, DWORD dataSize) {
  return ::RegSetValueExA(key, valueName, reserved, type, data, dataSize);
}

LONG Win32Registry::RegDeleteValueA(HKEY key, const char* valueName) { return ::RegDeleteValueA(key, valueName); }

LONG Win32Registry::RegCloseKey(HKEY key) { return ::RegCloseKey(key); }

BOOL Win32Version::GetVersionExA(OSVERSIONINFOA* info) { return ::GetVersionExA(info); }

}  // namespace platform
