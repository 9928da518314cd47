// oidview, the NDIS object lister: lists the Ethernet adapters bound to the
// NDIS 3 interface, lets the user choose one, and prints the current values of
// a fixed table of NDIS objects of that adapter, asking the companion device
// for each value.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/console.h"
#include "platform/device_io.h"
#include "platform/language.h"
#include "platform/registry.h"
#include "platform/version.h"

namespace oidview {

// One network adapter found in the registry's network class key.
struct AdapterRecord {
  std::int32_t number;               // leading decimal number of name, the sort key
  std::array<char, 32> name;         // subkey name under the class key, zero-terminated
  std::array<char, 64> description;  // its DriverDesc, empty when it cannot be read
};

inline constexpr int kAdapterSlots = 100;
inline constexpr DWORD kValueCapacity = 256;

// The lister's platform and its state for one run.
struct Lister {
  platform::Registry& registry;
  platform::Version& version;
  platform::Language& language;
  platform::DeviceIo& device;
  platform::Console& console;

  bool useJapanese = false;
  std::array<AdapterRecord, kAdapterSlots> adapterList{};
  std::array<char, 32> selectedAdapter{};
  HANDLE deviceHandle = INVALID_HANDLE_VALUE;
  std::array<BYTE, kValueCapacity> valueBuffer{};
};

// A value and its printed name; a table ends at an entry without text.
struct NameEntry {
  DWORD value;
  const char* text;
};

// How an object's value is printed.
enum class ValueRule {
  hardwareStatus,
  mediumList,
  linkSpeed,
  vendorCode,
  text,
  bitNames,
  version,
  addressList,
  length
};

struct ObjectRow {
  DWORD oid;                  // 0 ends the table
  std::string_view ndisName;  // the English label
  std::string_view label;     // the Japanese label, code page 932
  ValueRule rule;
  const NameEntry* names;  // the bit-name table of a bitNames row
};

extern const std::array<NameEntry, 6> hardwareStatusNames;
extern const std::array<NameEntry, 13> mediumNames;
extern const std::array<NameEntry, 13> packetFilterNames;
extern const std::array<NameEntry, 7> macOptionNames;
extern const std::array<ObjectRow, 51> objectTable;

// Leading decimal number of a text, as the C library reads one: white space
// skipped, an optional sign, the digits up to the first non-digit; 0 without
// digits.  Held to the 32-bit range.
std::int32_t leadingNumber(std::string_view text);

// Fills adapterList with the Ethernet adapters bound to ndis3, sorted by
// number; returns how many entries are in use.
int collectAdapters(Lister& lister);

// Asks the companion device for the value of one object of selectedAdapter.
// length holds the destination's capacity on entry (at most its size) and the
// number of value bytes copied after a true result.
bool queryObject(Lister& lister, DWORD oid, std::span<BYTE> destination, DWORD& length);

std::string_view lookupName(const NameEntry* table, DWORD value);
void printFlagNames(platform::Console& console, const NameEntry* table, DWORD value);
void printUnsigned64(platform::Console& console, DWORD low, DWORD high);
// Prints one object's line: the label padded to 32 bytes, then its value.
void printObjectLine(Lister& lister, const ObjectRow& row, std::span<const BYTE> value);
// Queries every object of objectTable and prints those that have a value.
void printObjects(Lister& lister);

// Chooses the adapter from the arguments or by asking; 1 when selectedAdapter
// holds the chosen name, 0 otherwise (any message already printed).
int chooseAdapter(Lister& lister, int argc, const char* const* argv);

// The whole run; returns the process exit code.
int runOidview(Lister& lister, int argc, const char* const* argv);

}  // namespace oidview
