// nicshow, the network address display tool: asks NetBIOS for the adapter
// status of every LAN adapter number from 0 to 19 and prints the LAN card's
// address, or says that several cards are installed or that the network is
// not usable.
#pragma once

#include <array>

#include "platform/console.h"
#include "platform/netbios.h"

namespace nicshow {

// Exit status of each outcome.
enum Exit : int {
  exitAddress = 0,       // the address was printed
  exitSeveralCards = 1,  // two adapters reported different addresses
  exitNotUsable = 2,     // no adapter answered, or the address is zero
  exitNoMachine = 3,     // (Linux build) the NetBIOS adapters could not be read
};

inline constexpr UCHAR kLanaCount = 20;         // LANAs 0 to 19 are asked
inline constexpr WORD kStatusBufferSize = 600;  // room for the adapter status record

// The callname of a local adapter status: an asterisk, a tab, then zeros.
inline constexpr std::array<UCHAR, NCBNAMSZ> kLocalStatusName = {0x2A, 0x09};

// Prints the banner, asks the LANAs and prints the outcome; returns the exit
// status.
int run(platform::NetBios& netbios, platform::Console& console);

}  // namespace nicshow
