#include "adapter_list.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

namespace nicmark {

namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// Reads a value of at most `capacity` bytes into a text field.  The field's
// bytes from `capacity` on are never written, so the text stays terminated.
// A value that is missing or does not fit leaves the field empty.
template <DWORD capacity, std::size_t fieldSize>
bool queryText(platform::Registry& registry, HKEY key, const char* valueName, char (&field)[fieldSize]) {
  static_assert(capacity < fieldSize, "the field keeps room for its terminating zero");
  DWORD size = capacity;
  const LONG rc = registry.RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(field), &size);
  if (rc != ERROR_SUCCESS) {
    // The platform may have left part of a value that did not fit.
    std::memset(field, 0, fieldSize);
    return false;
  }
  return true;
}

template <std::size_t fieldSize>
void setText(char (&field)[fieldSize], std::string_view text) {
  std::memset(field, 0, fieldSize);
  std::memcpy(field, text.data(), std::min(text.size(), fieldSize - 1));
}

}  // namespace

std::int32_t leadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr std::int64_t limit = std::int64_t{1} << 31;
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min(value * 10 + (text[i] - '0'), limit);
  if (negative) value = -value;
  value = std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(value);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

bool isServedDriver(std::string_view driver) {
  return startsWithIgnoringCase(driver, "E100B") || startsWithIgnoringCase(driver, "DC21X4");
}

LONG openKey(platform::Registry& registry, HKEY parent, const char* path, REGSAM access, platform::RegKey& key) {
  HKEY opened = nullptr;
  const LONG rc = registry.RegOpenKeyExA(parent, path, 0, access, &opened);
  if (rc == ERROR_SUCCESS) *key.put() = opened;
  return rc;
}

void detectPlatform(platform::Version& version, AdapterList& list) {
  OSVERSIONINFOA info{};
  static_assert(sizeof info == 148);
  info.dwOSVersionInfoSize = sizeof info;
  version.GetVersionExA(&info);
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      list.platformCode = platformWin32s;
      break;
    case VER_PLATFORM_WIN32_WINDOWS:
      list.platformCode = platformWindows95;
      break;
    case VER_PLATFORM_WIN32_NT:
      list.platformCode = platformWindowsNt;
      break;
    default:
      break;
  }
}

const PlatformProfile* selectProfile(std::int32_t platformCode) {
  switch (platformCode) {
    case platformWindows95:
      return &windows95Profile;
    case platformWindowsNt:
      return &windowsNtProfile;
    default:
      return nullptr;
  }
}

int enumerateAdapters(platform::Registry& registry, AdapterList& list) {
  list.adapterCount = 0;
  const bool windowsNt = list.platformCode == platformWindowsNt;
  platform::RegKey listKey(registry);
  const std::string listKeyPath(list.profile.adapterListKey);
  if (openKey(registry, HKEY_LOCAL_MACHINE, listKeyPath.c_str(), KEY_READ, listKey) != ERROR_SUCCESS) return 0;

  int kept = 0;
  DWORD index = 0;
  std::string parametersPath;
  while (kept < static_cast<int>(adapterTableSize)) {
    AdapterEntry& slot = list.adapterTable[static_cast<std::size_t>(kept)];
    slot = AdapterEntry{};
    DWORD nameSize = sizeof slot.name;
    const LONG rc =
        registry.RegEnumKeyExA(listKey.get(), index, slot.name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {
      // A subkey name longer than `name` holds: that adapter is not listed.
      slot = AdapterEntry{};
      ++index;
      continue;
    }
    // The end of the subkeys, or a list key that can no longer be read.
    if (rc != ERROR_SUCCESS) break;
    slot.name[sizeof slot.name - 1] = '\0';
    slot.number = leadingNumber(slot.name);

    platform::RegKey adapterKey(registry);
    if (openKey(registry, listKey.get(), slot.name, KEY_READ, adapterKey) != ERROR_SUCCESS) {
      ++index;
      continue;
    }
    if (!windowsNt) {
      queryText<driverCapacity>(registry, adapterKey.get(), "DeviceVxDs", slot.driver);
      queryText<descriptionCapacity>(registry, adapterKey.get(), "DriverDesc", slot.description);
      if (!queryText<addressCapacity>(registry, adapterKey.get(), "NetworkAddress", slot.address))
        setText(slot.address, globalAddress);
    } else {
      // The service name replaces the subkey name; one that does not fit
      // leaves `name` and `driver` empty, so the adapter is not listed.
      queryText<nameCapacity>(registry, adapterKey.get(), "ServiceName", slot.name);
      queryText<driverCapacity>(registry, adapterKey.get(), "ServiceName", slot.driver);
      queryText<descriptionCapacity>(registry, adapterKey.get(), "Title", slot.description);
    }
    adapterKey.close();

    if (windowsNt) {
      // On Windows NT the address lives under the driver service's key.
      parametersPath.assign(list.profile.adapterKeyPrefix);
      parametersPath += slot.name;
      parametersPath += "\\Parameters";
      platform::RegKey parametersKey(registry);
      if (openKey(registry, HKEY_LOCAL_MACHINE, parametersPath.c_str(), KEY_READ, parametersKey) != ERROR_SUCCESS ||
          !queryText<addressCapacity>(registry, parametersKey.get(), "NetworkAddress", slot.address))
        setText(slot.address, globalAddress);
    }

    if (isServedDriver(slot.driver)) ++kept;
    ++index;
  }

  // Exchange sort by number, ascending.  Entries of equal number are not
  // exchanged when compared, though a later exchange may move them past each
  // other.
  const int n = kept;
  for (int j = 0; j + 1 < n; ++j)
    for (int k = j; k < n; ++k)
      if (list.adapterTable[static_cast<std::size_t>(j)].number > list.adapterTable[static_cast<std::size_t>(k)].number)
        std::swap(list.adapterTable[static_cast<std::size_t>(j)], list.adapterTable[static_cast<std::size_t>(k)]);

  list.adapterCount = kept;
  return kept;
}

}  // namespace nicmark
