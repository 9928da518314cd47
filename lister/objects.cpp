// The object table, its name tables and the value rules.
#include <cstring>

#include "oidview.h"
#include "oidview_texts_cp932.h"

namespace oidview {

const std::array<NameEntry, 6> hardwareStatusNames{{
    {0, "Ready"},
    {1, "Initializing"},
    {2, "Resetting"},
    {3, "Closing"},
    {4, "Not Ready"},
    {0, nullptr},
}};

const std::array<NameEntry, 13> mediumNames{{
    {0, "Ethernet(802.3)"},
    {1, "Token Ring(802.5)"},
    {2, "FDDI"},
    {3, "WAN"},
    {4, "LocalTalk"},
    {5, "DEC/Intel/Xerox (DIX) Ethernet"},
    {6, "ARCNET(Raw)"},
    {7, "ARCNET(878.2)"},
    {8, "ATM"},
    {9, "Wireless WAN"},
    {10, "IrDa"},
    {11, "Max"},
    {0, nullptr},
}};

// Walked in this order, which is the order of the printed names.
const std::array<NameEntry, 13> packetFilterNames{{
    {0x0001, "Directed"},
    {0x0002, "Multicast"},
    {0x0004, "AllMulticast"},
    {0x0008, "Broadcast"},
    {0x0010, "SourceRouting"},
    {0x0020, "Promiscuous"},
    {0x0040, "SMT"},
    {0x0080, "AllLocal"},
    {0x8000, "MacFrame"},
    {0x4000, "Functional"},
    {0x2000, "AllFunctional"},
    {0x1000, "Group"},
    {0, nullptr},
}};

const std::array<NameEntry, 7> macOptionNames{{
    {0x1, "CopyLookaheadData"},
    {0x2, "ReceiveSerialized"},
    {0x4, "TransfersNotPend"},
    {0x8, "NoLoopback"},
    {0x10, "FullDuplex"},
    {0x80000000u, "Reserved"},
    {0, nullptr},
}};

const std::array<ObjectRow, 51> objectTable{{
    {0x00010102, "OID_GEN_HARDWARE_STATUS", ja::label_OID_GEN_HARDWARE_STATUS, ValueRule::hardwareStatus, nullptr},
    {0x00010103, "OID_GEN_MEDIA_SUPPORTED", ja::label_OID_GEN_MEDIA_SUPPORTED, ValueRule::mediumList, nullptr},
    {0x00010104, "OID_GEN_MEDIA_IN_USE", ja::label_OID_GEN_MEDIA_IN_USE, ValueRule::mediumList, nullptr},
    {0x00010105, "OID_GEN_MAXIMUM_LOOKAHEAD", ja::label_OID_GEN_MAXIMUM_LOOKAHEAD, ValueRule::length, nullptr},
    {0x00010106, "OID_GEN_MAXIMUM_FRAME_SIZE", ja::label_OID_GEN_MAXIMUM_FRAME_SIZE, ValueRule::length, nullptr},
    {0x00010107, "OID_GEN_LINK_SPEED", ja::label_OID_GEN_LINK_SPEED, ValueRule::linkSpeed, nullptr},
    {0x00010108, "OID_GEN_TRANSMIT_BUFFER_SPACE", ja::label_OID_GEN_TRANSMIT_BUFFER_SPACE, ValueRule::length, nullptr},
    {0x00010109, "OID_GEN_RECEIVE_BUFFER_SPACE", ja::label_OID_GEN_RECEIVE_BUFFER_SPACE, ValueRule::length, nullptr},
    {0x0001010A, "OID_GEN_TRANSMIT_BLOCK_SIZE", ja::label_OID_GEN_TRANSMIT_BLOCK_SIZE, ValueRule::length, nullptr},
    {0x0001010B, "OID_GEN_RECEIVE_BLOCK_SIZE", ja::label_OID_GEN_RECEIVE_BLOCK_SIZE, ValueRule::length, nullptr},
    {0x0001010C, "OID_GEN_VENDOR_ID", ja::label_OID_GEN_VENDOR_ID, ValueRule::vendorCode, nullptr},
    {0x0001010D, "OID_GEN_VENDOR_DESCRIPTION", ja::label_OID_GEN_VENDOR_DESCRIPTION, ValueRule::text, nullptr},
    {0x0001010E, "OID_GEN_CURRENT_PACKET_FILTER", ja::label_OID_GEN_CURRENT_PACKET_FILTER, ValueRule::bitNames,
     packetFilterNames.data()},
    {0x0001010F, "OID_GEN_CURRENT_LOOKAHEAD", ja::label_OID_GEN_CURRENT_LOOKAHEAD, ValueRule::length, nullptr},
    {0x00010110, "OID_GEN_DRIVER_VERSION", ja::label_OID_GEN_DRIVER_VERSION, ValueRule::version, nullptr},
    {0x00010111, "OID_GEN_MAXIMUM_TOTAL_SIZE", ja::label_OID_GEN_MAXIMUM_TOTAL_SIZE, ValueRule::length, nullptr},
    {0x00010113, "OID_GEN_MAC_OPTIONS", ja::label_OID_GEN_MAC_OPTIONS, ValueRule::bitNames, macOptionNames.data()},
    {0x00020101, "OID_GEN_XMIT_OK", ja::label_OID_GEN_XMIT_OK, ValueRule::length, nullptr},
    {0x00020102, "OID_GEN_RCV_OK", ja::label_OID_GEN_RCV_OK, ValueRule::length, nullptr},
    {0x00020103, "OID_GEN_XMIT_ERROR", ja::label_OID_GEN_XMIT_ERROR, ValueRule::length, nullptr},
    {0x00020104, "OID_GEN_RCV_ERROR", ja::label_OID_GEN_RCV_ERROR, ValueRule::length, nullptr},
    {0x00020105, "OID_GEN_RCV_NO_BUFFER", ja::label_OID_GEN_RCV_NO_BUFFER, ValueRule::length, nullptr},
    {0x00020201, "OID_GEN_DIRECTED_BYTES_XMIT", ja::label_OID_GEN_DIRECTED_BYTES_XMIT, ValueRule::length, nullptr},
    {0x00020202, "OID_GEN_DIRECTED_FRAMES_XMIT", ja::label_OID_GEN_DIRECTED_FRAMES_XMIT, ValueRule::length, nullptr},
    {0x00020203, "OID_GEN_MULTICAST_BYTES_XMIT", ja::label_OID_GEN_MULTICAST_BYTES_XMIT, ValueRule::length, nullptr},
    {0x00020204, "OID_GEN_MULTICAST_FRAMES_XMIT", ja::label_OID_GEN_MULTICAST_FRAMES_XMIT, ValueRule::length, nullptr},
    {0x00020205, "OID_GEN_BROADCAST_BYTES_XMIT", ja::label_OID_GEN_BROADCAST_BYTES_XMIT, ValueRule::length, nullptr},
    {0x00020206, "OID_GEN_BROADCAST_FRAMES_XMIT", ja::label_OID_GEN_BROADCAST_FRAMES_XMIT, ValueRule::length, nullptr},
    {0x00020207, "OID_GEN_DIRECTED_BYTES_RCV", ja::label_OID_GEN_DIRECTED_BYTES_RCV, ValueRule::length, nullptr},
    {0x00020208, "OID_GEN_DIRECTED_FRAMES_RCV", ja::label_OID_GEN_DIRECTED_FRAMES_RCV, ValueRule::length, nullptr},
    {0x00020209, "OID_GEN_MULTICAST_BYTES_RCV", ja::label_OID_GEN_MULTICAST_BYTES_RCV, ValueRule::length, nullptr},
    {0x0002020A, "OID_GEN_MULTICAST_FRAMES_RCV", ja::label_OID_GEN_MULTICAST_FRAMES_RCV, ValueRule::length, nullptr},
    {0x0002020B, "OID_GEN_BROADCAST_BYTES_RCV", ja::label_OID_GEN_BROADCAST_BYTES_RCV, ValueRule::length, nullptr},
    {0x0002020C, "OID_GEN_BROADCAST_FRAMES_RCV", ja::label_OID_GEN_BROADCAST_FRAMES_RCV, ValueRule::length, nullptr},
    {0x0002020D, "OID_GEN_RCV_CRC_ERROR", ja::label_OID_GEN_RCV_CRC_ERROR, ValueRule::length, nullptr},
    {0x0002020E, "OID_GEN_TRANSMIT_QUEUE_LENGTH", ja::label_OID_GEN_TRANSMIT_QUEUE_LENGTH, ValueRule::length, nullptr},
    {0x01010101, "OID_802_3_PERMANENT_ADDRESS", ja::label_OID_802_3_PERMANENT_ADDRESS, ValueRule::length, nullptr},
    {0x01010102, "OID_802_3_CURRENT_ADDRESS", ja::label_OID_802_3_CURRENT_ADDRESS, ValueRule::length, nullptr},
    {0x01010103, "OID_802_3_MULTICAST_LIST", ja::label_OID_802_3_MULTICAST_LIST, ValueRule::addressList, nullptr},
    {0x01010104, "OID_802_3_MAXIMUM_LIST_SIZE", ja::label_OID_802_3_MAXIMUM_LIST_SIZE, ValueRule::length, nullptr},
    {0x01020101, "OID_802_3_RCV_ERROR_ALIGNMENT", ja::label_OID_802_3_RCV_ERROR_ALIGNMENT, ValueRule::length, nullptr},
    {0x01020102, "OID_802_3_XMIT_ONE_COLLISION", ja::label_OID_802_3_XMIT_ONE_COLLISION, ValueRule::length, nullptr},
    {0x01020103, "OID_802_3_XMIT_MORE_COLLISIONS", ja::label_OID_802_3_XMIT_MORE_COLLISIONS, ValueRule::length,
     nullptr},
    {0x01020201, "OID_802_3_XMIT_DEFERRED", ja::label_OID_802_3_XMIT_DEFERRED, ValueRule::length, nullptr},
    {0x01020202, "OID_802_3_XMIT_MAX_COLLISIONS", ja::label_OID_802_3_XMIT_MAX_COLLISIONS, ValueRule::length, nullptr},
    {0x01020203, "OID_802_3_RCV_OVERRUN", ja::label_OID_802_3_RCV_OVERRUN, ValueRule::length, nullptr},
    {0x01020204, "OID_802_3_XMIT_UNDERRUN", ja::label_OID_802_3_XMIT_UNDERRUN, ValueRule::length, nullptr},
    {0x01020205, "OID_802_3_XMIT_HEARTBEAT_FAILURE", ja::label_OID_802_3_XMIT_HEARTBEAT_FAILURE, ValueRule::length,
     nullptr},
    {0x01020206, "OID_802_3_XMIT_TIMES_CRS_LOST", ja::label_OID_802_3_XMIT_TIMES_CRS_LOST, ValueRule::length, nullptr},
    {0x01020207, "OID_802_3_XMIT_LATE_COLLISIONS", ja::label_OID_802_3_XMIT_LATE_COLLISIONS, ValueRule::length,
     nullptr},
    {0, {}, {}, ValueRule::length, nullptr},
}};

namespace {

constexpr std::size_t kLabelWidth = 32;

// Rules that read a fixed number of bytes count the bytes the device did not
// return as zero, so a short value never shows an earlier object's bytes.
DWORD byteAt(std::span<const BYTE> value, std::size_t index) { return index < value.size() ? value[index] : 0; }

DWORD le32At(std::span<const BYTE> value, std::size_t offset) {
  return byteAt(value, offset) | byteAt(value, offset + 1) << 8 | byteAt(value, offset + 2) << 16 |
         byteAt(value, offset + 3) << 24;
}

void printHexBytes(platform::Console& console, std::span<const BYTE> value) {
  for (std::size_t i = 0; i < value.size(); ++i)
    console.writeOut(platform::format("%s%02x", i == 0 ? "" : "-", static_cast<unsigned>(value[i])));
}

void printMediumList(platform::Console& console, std::span<const BYTE> value) {
  for (std::size_t offset = 0; offset + 4 <= value.size(); offset += 4)
    console.writeOut(platform::format("%s%s", offset == 0 ? "" : ", ",
                                      lookupName(mediumNames.data(), le32At(value, offset)).data()));
  console.writeOut("\n");
}

void printLinkSpeed(platform::Console& console, std::span<const BYTE> value) {
  // Units of 100 bits per second, scaled by a single-precision constant.  The
  // product is a double: a float product would lose digits of large speeds
  // and would differ between x87 and SSE builds.
  const DWORD v = le32At(value, 0);
  const double megabits = static_cast<double>(v) * static_cast<double>(0.0001f);
  console.writeOut(platform::format("%g Mbps\n", megabits));
}

void printAddressList(platform::Console& console, std::span<const BYTE> value) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char* separator = i == 0 ? "" : (i % 6 == 0 ? ", " : "-");
    console.writeOut(platform::format("%s%02x", separator, static_cast<unsigned>(value[i])));
  }
  console.writeOut("\n");
}

void printText(platform::Console& console, std::span<const BYTE> value) {
  // The text ends at its first zero byte, or at the returned length.
  const BYTE* end = static_cast<const BYTE*>(std::memchr(value.data(), 0, value.size()));
  const std::size_t size = end != nullptr ? static_cast<std::size_t>(end - value.data()) : value.size();
  std::string line(reinterpret_cast<const char*>(value.data()), size);
  line += '\n';
  console.writeOut(line);
}

void printLength(platform::Console& console, std::span<const BYTE> value) {
  if (value.size() == 4) {
    console.writeOut(platform::format("%lu\n", static_cast<unsigned long>(le32At(value, 0))));
  } else if (value.size() == 8) {
    printUnsigned64(console, le32At(value, 0), le32At(value, 4));
    console.writeOut("\n");
  } else {
    printHexBytes(console, value);
    console.writeOut("\n");
  }
}

}  // namespace

std::string_view lookupName(const NameEntry* table, DWORD value) {
  for (const NameEntry* entry = table; entry->text != nullptr; ++entry)
    if (entry->value == value) return entry->text;
  return "???";
}

void printFlagNames(platform::Console& console, const NameEntry* table, DWORD value) {
  const char* separator = "";
  for (const NameEntry* entry = table; entry->text != nullptr; ++entry) {
    if ((entry->value & value) == 0) continue;
    console.writeOut(platform::format("%s%s", separator, entry->text));
    separator = ", ";
  }
  console.writeOut("\n");
}

void printUnsigned64(platform::Console& console, DWORD low, DWORD high) {
  if (high == 0) {
    console.writeOut(platform::format("%lu", static_cast<unsigned long>(low)));
    return;
  }
  // Divide by 10000 one 16-bit digit at a time, most significant first.
  const std::array<DWORD, 4> digits{high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF};
  std::array<DWORD, 4> quotient{};
  DWORD remainder = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const DWORD dividend = remainder << 16 | digits[i];  // remainder < 10000, so this fits 32 bits
    quotient[i] = dividend / 10000;
    remainder = dividend % 10000;
  }
  printUnsigned64(console, quotient[2] << 16 | quotient[3], quotient[0] << 16 | quotient[1]);
  console.writeOut(platform::format("%04u", static_cast<unsigned>(remainder)));
}

void printObjectLine(Lister& lister, const ObjectRow& row, std::span<const BYTE> value) {
  platform::Console& console = lister.console;
  // The label is padded to 32 bytes of its code page 932 form: a Japanese
  // character takes two bytes and two columns on the console.
  std::string label(lister.useJapanese ? row.label : row.ndisName);
  if (label.size() < kLabelWidth) label.append(kLabelWidth - label.size(), ' ');
  label += "  ";
  console.writeOut(label);

  switch (row.rule) {
    case ValueRule::hardwareStatus:
      console.writeOut(platform::format("%s\n", lookupName(hardwareStatusNames.data(), le32At(value, 0)).data()));
      break;
    case ValueRule::mediumList:
      printMediumList(console, value);
      break;
    case ValueRule::linkSpeed:
      printLinkSpeed(console, value);
      break;
    case ValueRule::vendorCode:
      console.writeOut(platform::format("%02lx%02lx%02lx\n", static_cast<unsigned long>(byteAt(value, 0)),
                                        static_cast<unsigned long>(byteAt(value, 1)),
                                        static_cast<unsigned long>(byteAt(value, 2))));
      break;
    case ValueRule::text:
      printText(console, value);
      break;
    case ValueRule::bitNames:
      printFlagNames(console, row.names, le32At(value, 0));
      break;
    case ValueRule::version:
      console.writeOut(platform::format("%u.%u\n", static_cast<unsigned>(byteAt(value, 1)),
                                        static_cast<unsigned>(byteAt(value, 0))));
      break;
    case ValueRule::addressList:
      printAddressList(console, value);
      break;
    case ValueRule::length:
      printLength(console, value);
      break;
  }
}

void printObjects(Lister& lister) {
  for (const ObjectRow& row : objectTable) {
    if (row.oid == 0) break;
    DWORD length = kValueCapacity;
    if (!queryObject(lister, row.oid, lister.valueBuffer, length) || length == 0) continue;
    printObjectLine(lister, row, std::span<const BYTE>(lister.valueBuffer.data(), length));
  }
}

}  // namespace oidview
