// The simulated notebook's NetBIOS: a table of LAN adapter numbers (LANAs),
// each saying whether it answers a reset and an adapter status, and the
// address its adapter reports.  Every command sent is recorded.
//
// The table comes from the machine profile:
//
//   [[netbios.lana]]
//   number = 0                     # the LANA, 0 to 254
//   address = "02:00:4c:4f:4f:50"  # twelve hexadecimal digits, ':' or '-' between octets allowed
//   reset = true                   # whether NCBRESET succeeds (default true)
//   status = true                  # whether NCBASTAT succeeds (default true)
//
// or, in the Linux build's real-adapter mode, from the machine's own network
// interfaces: LANA n is the n-th interface NetBIOS over TCP/IP would bind to.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/netbios.h"
#include "sim/machine.h"

namespace sim {

using NetworkAddress = std::array<UCHAR, 6>;

struct SimLana {
  UCHAR number = 0;
  bool resetAnswers = true;
  bool statusAnswers = true;
  NetworkAddress address{};
  std::string interfaceName;  // the host interface behind it, in real-adapter mode
};

// One command as it reached NetBIOS.
struct NetBiosCall {
  UCHAR command = 0;
  UCHAR lana = 0;
  WORD length = 0;
  std::array<UCHAR, NCBNAMSZ> callname{};
  bool buffer = false;     // ncb_buffer was set
  bool othersZero = true;  // every other field was zero: no post routine, no event
  bool operator==(const NetBiosCall&) const = default;
};

// Size of the adapter status record the simulated adapters return: the
// 60-byte ADAPTER_STATUS with no name entries after it.  Its first six bytes
// are the adapter's address; the counters and the rest are zero.
inline constexpr WORD kAdapterStatusSize = 60;

class SimNetBios : public platform::NetBios {
 public:
  UCHAR Netbios(NCB* ncb) override;

  std::vector<SimLana> lanas;
  std::vector<NetBiosCall> calls;

 private:
  const SimLana* find(UCHAR number) const;
};

// Fills netbios from the profile's [netbios] section; a profile without one
// has no LANAs.
bool loadNetBios(const Machine& machine, SimNetBios& netbios, std::string& error);

// Fills netbios from the machine's own network interfaces.
bool loadHostNetBios(SimNetBios& netbios, std::string& error);

// Reads "02:00:4c:4f:4f:50", "02-00-4C-4F-4F-50" or "02004c4f4f50".
bool parseNetworkAddress(std::string_view text, NetworkAddress& address);

}  // namespace sim
