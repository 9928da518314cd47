// The Ethernet adapters bound to NDIS 3, from the registry's network class key.
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "oidview.h"

namespace oidview {

namespace {

constexpr const char* kClassKey = "System\\CurrentControlSet\\Services\\Class\\Net";
constexpr DWORD kValueLimit = 63;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Reads a text value into a zeroed 64-byte buffer with a limit of 63 bytes, so
// the buffer always ends with a zero; false when the value is missing or too
// long.
bool readText(platform::Registry& registry, HKEY key, const char* valueName, std::array<char, 64>& text) {
  text.fill(0);
  DWORD size = kValueLimit;
  if (registry.RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size) !=
      ERROR_SUCCESS) {
    text.fill(0);
    return false;
  }
  return true;
}

// An adapter is listed when its upper interfaces contain ndis3 and its lower
// interface is ethernet, both with case significant.
bool boundToNdis3Ethernet(platform::Registry& registry, HKEY classKey, const char* name) {
  const std::string path = std::string(name) + "\\Ndi\\Interfaces";
  platform::RegKey interfaces(registry);
  if (registry.RegOpenKeyExA(classKey, path.c_str(), 0, KEY_READ, interfaces.put()) != ERROR_SUCCESS) return false;
  std::array<char, 64> upper{};
  if (!readText(registry, interfaces.get(), "Upper", upper) || std::strstr(upper.data(), "ndis3") == nullptr)
    return false;
  std::array<char, 64> lower{};
  return readText(registry, interfaces.get(), "Lower", lower) && std::strcmp(lower.data(), "ethernet") == 0;
}

}  // namespace

std::int32_t leadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulated in 64 bits and held to the 32-bit range, so a long run of
  // digits cannot overflow.
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) value = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

int collectAdapters(Lister& lister) {
  platform::Registry& registry = lister.registry;
  platform::RegKey classKey(registry);
  if (registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClassKey, 0, KEY_READ, classKey.put()) != ERROR_SUCCESS) return 0;

  int count = 0;
  for (DWORD index = 0; count < kAdapterSlots; ++index) {
    AdapterRecord& slot = lister.adapterList[static_cast<std::size_t>(count)];
    slot = AdapterRecord{};
    DWORD nameSize = static_cast<DWORD>(slot.name.size());
    const LONG rc =
        registry.RegEnumKeyExA(classKey.get(), index, slot.name.data(), &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {
      // A subkey name longer than 31 characters does not fit: skip it.
      slot = AdapterRecord{};
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    slot.name.back() = 0;
    slot.number = leadingNumber(slot.name.data());

    platform::RegKey adapterKey(registry);
    if (registry.RegOpenKeyExA(classKey.get(), slot.name.data(), 0, KEY_READ, adapterKey.put()) != ERROR_SUCCESS)
      continue;
    readText(registry, adapterKey.get(), "DriverDesc", slot.description);
    if (boundToNdis3Ethernet(registry, classKey.get(), slot.name.data())) ++count;
  }
  // The slot after the last entry may hold a name that did not match.
  if (count < kAdapterSlots) lister.adapterList[static_cast<std::size_t>(count)] = AdapterRecord{};
  classKey.close();

  // Exchange sort by ascending number (not stable).
  for (int i = 0; i + 1 < count; ++i)
    for (int j = i; j < count; ++j) {
      auto& a = lister.adapterList[static_cast<std::size_t>(i)];
      auto& b = lister.adapterList[static_cast<std::size_t>(j)];
      if (a.number > b.number) std::swap(a, b);
    }
  return count;
}

}  // namespace oidview
