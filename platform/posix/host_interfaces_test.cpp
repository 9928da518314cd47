#include "posix/host_interfaces.h"

#include <gtest/gtest.h>

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
