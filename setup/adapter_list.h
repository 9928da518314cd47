// The adapter list of nicmark: which platform it runs on, where that platform
// keeps its network adapters in the registry, and the table of the adapters
// whose driver is E100B or DC21X4, sorted by the number of their key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/registry.h"
#include "platform/version.h"

namespace nicmark {

// platformCode: the platform detectPlatform found.
inline constexpr std::int32_t platformNone = 0;
inline constexpr std::int32_t platformWin32s = 1;
inline constexpr std::int32_t platformWindows95 = 2;
inline constexpr std::int32_t platformWindowsNt = 3;

// Where a platform keeps its adapters, under HKEY_LOCAL_MACHINE.
struct PlatformProfile {
  std::string_view adapterListKey;    // its subkeys are the adapters
  std::string_view adapterKeyPrefix;  // + name: the adapter's own key
};

inline constexpr PlatformProfile windows95Profile{
    "System\\CurrentControlSet\\Services\\Class\\Net",
    "System\\CurrentControlSet\\Services\\Class\\Net\\",
};
inline constexpr PlatformProfile windowsNtProfile{
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    "SYSTEM\\CurrentControlSet\\Services\\",
};

// One adapter.  Every text field keeps its terminating zero inside the field.
struct AdapterEntry {
  std::int32_t number;   // decimal value of the subkey name: the sort key
  char name[32];         // shown in the list, matched against the command line
  char driver[32];       // decides whether the adapter is listed
  char description[64];  // read, never shown
  char address[16];      // configured NetworkAddress, else "Global Address"
};
static_assert(sizeof(AdapterEntry) == 4 + 32 + 32 + 64 + 16);
static_assert(offsetof(AdapterEntry, name) == 4 && offsetof(AdapterEntry, address) == 132);

inline constexpr std::size_t adapterTableSize = 100;

// Bytes a registry value may take in each field (the field less its last byte,
// which therefore always stays zero).
inline constexpr DWORD nameCapacity = 31;
inline constexpr DWORD driverCapacity = 31;
inline constexpr DWORD descriptionCapacity = 63;
inline constexpr DWORD addressCapacity = 14;

inline constexpr std::string_view globalAddress = "Global Address";

// The platform found, its profile, and the adapters read.
struct AdapterList {
  std::int32_t platformCode = platformNone;
  PlatformProfile profile{};
  std::array<AdapterEntry, adapterTableSize> adapterTable{};
  int adapterCount = 0;
};

// Sets list.platformCode from the platform id the version query reports.
void detectPlatform(platform::Version& version, AdapterList& list);

// The profile of a platform code; nullptr for a platform nicmark does not
// serve (none recognised, Win32s).
const PlatformProfile* selectProfile(std::int32_t platformCode);

// Fills list.adapterTable from the registry by list.platformCode and
// list.profile, sorts it and returns the number of adapters kept (0 when the
// list key cannot be opened or no adapter qualifies).
int enumerateAdapters(platform::Registry& registry, AdapterList& list);

// The number a text begins with: leading white space skipped, an optional
// sign, the decimal digits up to the first other character; 0 without digits.
// Numbers beyond the 32-bit range stop at its ends.
std::int32_t leadingNumber(std::string_view text);

// Opens a key into `key`, which takes it only when the open succeeds.
LONG openKey(platform::Registry& registry, HKEY parent, const char* path, REGSAM access, platform::RegKey& key);

// True when the two texts are equal, ASCII letters compared without case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// True when the driver text names a driver nicmark serves: it begins with
// "E100B" or "DC21X4", ASCII letters compared without case.
bool isServedDriver(std::string_view driver);

}  // namespace nicmark
