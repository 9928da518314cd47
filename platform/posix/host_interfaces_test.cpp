#include "posix/host_interfaces.h"

#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <deque>
#include <string>
#include <vector>

namespace {

std::vector<std::string> names(const std::vector<posix::HostInterface>& interfaces) {
  std::vector<std::string> result;
  for (const auto& entry : interfaces) result.push_back(entry.name);
  return result;
}

TEST(HostInterfaces, NetBiosBindsUpNonLoopbackEthernetInterfacesWithIpv4InIndexOrder) {
  const std::vector<unsigned char> mac = {0x02, 0, 0, 0, 0, 1};
  const std::vector<posix::HostInterface> all = {
      {"wlan0", 7, true, false, mac, true},
      {"lo", 1, true, true, {0, 0, 0, 0, 0, 0}, true},
      {"eth1", 3, false, false, mac, true},                              // down
      {"tun0", 4, true, false, {}, true},                                // no hardware address
      {"ib0", 5, true, false, std::vector<unsigned char>(20, 1), true},  // not 6 bytes
      {"eth2", 6, true, false, mac, false},                              // no IPv4 address
      {"eth0", 2, true, false, mac, true},
  };
  EXPECT_EQ(names(posix::netbiosInterfaces(all)), (std::vector<std::string>{"eth0", "wlan0"}));
  EXPECT_TRUE(posix::netbiosInterfaces({}).empty());
}

// A getifaddrs(3) list built by hand: links carry the index and hardware
// address, protocol addresses carry the name of their label.
class AddressList {
 public:
  void link(const char* name, int index, unsigned flags, std::vector<unsigned char> mac) {
    sockaddr_ll& ll = links_.emplace_back();
    ll.sll_family = AF_PACKET;
    ll.sll_ifindex = index;
    ll.sll_halen = static_cast<unsigned char>(mac.size());
    std::copy(mac.begin(), mac.end(), ll.sll_addr);
    add(name, flags, reinterpret_cast<sockaddr*>(&ll));
  }
  void ipv4(const char* name, unsigned flags) {
    sockaddr_in& in = inets_.emplace_back();
    in.sin_family = AF_INET;
    add(name, flags, reinterpret_cast<sockaddr*>(&in));
  }
  const ifaddrs* head() {
    for (std::size_t i = 0; i + 1 < entries_.size(); ++i) entries_[i].ifa_next = &entries_[i + 1];
    return entries_.empty() ? nullptr : &entries_.front();
  }

 private:
  void add(const char* name, unsigned flags, sockaddr* address) {
    ifaddrs& entry = entries_.emplace_back();
    entry.ifa_name = const_cast<char*>(name);
    entry.ifa_flags = flags;
    entry.ifa_addr = address;
  }
  std::deque<sockaddr_ll> links_;
  std::deque<sockaddr_in> inets_;
  std::deque<ifaddrs> entries_;
};

TEST(HostInterfaces, AddressesUnderALabelBelongToTheirInterface) {
  const std::vector<unsigned char> mac0 = {0x02, 0, 0, 0, 0, 0x10};
  const std::vector<unsigned char> mac1 = {0x02, 0, 0, 0, 0, 0x11};
  AddressList list;
  list.link("lo", 1, IFF_UP | IFF_LOOPBACK, {0, 0, 0, 0, 0, 0});
  list.link("eth1", 3, IFF_UP, mac1);
  list.link("eth0", 2, IFF_UP, mac0);
  list.ipv4("lo", IFF_UP | IFF_LOOPBACK);
  list.ipv4("eth0:1", IFF_UP);  // eth0's only IPv4 address, under a label
  list.ipv4("eth1", IFF_UP);
  list.ipv4("eth1:web", IFF_UP);
  const std::vector<posix::HostInterface> interfaces = posix::hostInterfacesOf(list.head());
  EXPECT_EQ(names(interfaces), (std::vector<std::string>{"lo", "eth0", "eth1"}));
  ASSERT_EQ(interfaces.size(), 3u);
  EXPECT_EQ(interfaces[1].index, 2u);
  EXPECT_EQ(interfaces[1].hardwareAddress, mac0);
  EXPECT_TRUE(interfaces[1].hasIpv4);
  EXPECT_EQ(names(posix::netbiosInterfaces(interfaces)), (std::vector<std::string>{"eth0", "eth1"}));
}

TEST(HostInterfaces, ReadsTheMachinesInterfacesInIndexOrder) {
  std::vector<posix::HostInterface> interfaces;
  std::string error;
  ASSERT_TRUE(posix::readHostInterfaces(interfaces, error)) << error;
  // Every Linux machine has its loopback interface.
  bool loopback = false;
  for (std::size_t n = 0; n < interfaces.size(); ++n) {
    if (n > 0) {
      EXPECT_LT(interfaces[n - 1].index, interfaces[n].index);
    }
    if (interfaces[n].loopback) loopback = true;
  }
  EXPECT_TRUE(loopback);
}

}  // namespace
