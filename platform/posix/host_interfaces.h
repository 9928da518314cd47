// The network interfaces of the machine the Linux build runs on, and the ones
// NetBIOS over TCP/IP would bind a LAN adapter number (LANA) to.
#pragma once

#include <string>
#include <vector>

struct ifaddrs;

namespace posix {

struct HostInterface {
  std::string name;
  unsigned index = 0;  // the kernel's interface index
  bool up = false;
  bool loopback = false;
  std::vector<unsigned char> hardwareAddress;  // empty when the link has none
  bool hasIpv4 = false;
};

// Reads every interface of the machine with getifaddrs(3), in index order.
bool readHostInterfaces(std::vector<HostInterface>& interfaces, std::string& error);

// The interfaces of a getifaddrs(3) list, in index order.  An address whose
// name carries a label ("eth0:1") belongs to the interface before the colon.
std::vector<HostInterface> hostInterfacesOf(const ifaddrs* list);

// The interfaces NetBIOS binds to, LANA 0 first: those that are up, are not a
// loopback, have a 6-byte hardware address and an IPv4 address, in index
// order.
std::vector<HostInterface> netbiosInterfaces(const std::vector<HostInterface>& interfaces);

}  // namespace posix
