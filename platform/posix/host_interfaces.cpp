#include "posix/host_interfaces.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace posix {

namespace {

// The entry of the interface an address belongs to.  Interface names never
// hold a colon; an address added under a label ("eth0:1") is the interface's
// own.
HostInterface& entryFor(std::vector<HostInterface>& interfaces, std::string_view label) {
  const std::string name(label.substr(0, label.find(':')));
  for (HostInterface& entry : interfaces)
    if (entry.name == name) return entry;
  HostInterface& entry = interfaces.emplace_back();
  entry.name = name;
  entry.index = if_nametoindex(name.c_str());
  return entry;
}

}  // namespace

std::vector<HostInterface> hostInterfacesOf(const ifaddrs* list) {
  std::vector<HostInterface> interfaces;
  // getifaddrs gives one entry per address: the link (AF_PACKET, carrying the
  // hardware address and the index) and one per protocol address.
  for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_name == nullptr) continue;
    HostInterface& entry = entryFor(interfaces, a->ifa_name);
    entry.up = entry.up || (a->ifa_flags & IFF_UP) != 0;
    entry.loopback = entry.loopback || (a->ifa_flags & IFF_LOOPBACK) != 0;
    if (a->ifa_addr == nullptr) continue;
    if (a->ifa_addr->sa_family == AF_PACKET) {
      sockaddr_ll link;
      std::memcpy(&link, a->ifa_addr, sizeof link);
      const std::size_t length = std::min<std::size_t>(link.sll_halen, sizeof link.sll_addr);
      entry.hardwareAddress.assign(link.sll_addr, link.sll_addr + length);
      if (link.sll_ifindex > 0) entry.index = static_cast<unsigned>(link.sll_ifindex);
    } else if (a->ifa_addr->sa_family == AF_INET) {
      entry.hasIpv4 = true;
    }
  }
  std::stable_sort(interfaces.begin(), interfaces.end(),
                   [](const HostInterface& a, const HostInterface& b) { return a.index < b.index; });
  return interfaces;
}

bool readHostInterfaces(std::vector<HostInterface>& interfaces, std::string& error) {
  interfaces.clear();
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    error = std::string("getifaddrs: ") + std::strerror(errno);
    return false;
  }
  interfaces = hostInterfacesOf(list);
  freeifaddrs(list);
  return true;
}

std::vector<HostInterface> netbiosInterfaces(const std::vector<HostInterface>& interfaces) {
  std::vector<HostInterface> bound;
  for (const HostInterface& entry : interfaces)
    if (entry.up && !entry.loopback && entry.hardwareAddress.size() == 6 && entry.hasIpv4) bound.push_back(entry);
  std::stable_sort(bound.begin(), bound.end(),
                   [](const HostInterface& a, const HostInterface& b) { return a.index < b.index; });
  return bound;
}

}  // namespace posix
