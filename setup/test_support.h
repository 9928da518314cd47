// Shared pieces of nicmark's tests: an in-memory console and simulated
// notebooks built from REGEDIT4 text.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "sim/machine.h"
#include "sim/regfile.h"

namespace nicmark::testing {

// Standard streams in memory: the answers are queued lines; the end of the
// queue is the end of input.
class MemoryConsole : public platform::Console {
 public:
  explicit MemoryConsole(std::vector<std::string> answers = {}) : answers_(answers.begin(), answers.end()) {}
  void writeOut(std::string_view bytes) override { out.append(bytes); }
  void writeErr(std::string_view bytes) override { err.append(bytes); }
  bool readLine(std::string& line) override {
    if (answers_.empty()) return false;
    line = answers_.front();
    answers_.pop_front();
    return true;
  }
  std::size_t unread() const { return answers_.size(); }
  std::string out;
  std::string err;

 private:
  std::deque<std::string> answers_;
};

inline constexpr std::string_view windows95Net = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Net";
inline constexpr std::string_view windowsNtCards =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
inline constexpr std::string_view windowsNtServices = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";

// A simulated notebook of the given platform id with a registry from REGEDIT4 text.
inline std::unique_ptr<sim::Machine> makeMachine(DWORD platformId, std::string_view regText = "REGEDIT4\n") {
  auto machine = std::make_unique<sim::Machine>();
  machine->platformId = platformId;
  std::string error;
  EXPECT_TRUE(sim::importRegText(machine->registry, regText, error)) << error;
  machine->registry.clearModified();
  return machine;
}

// The Windows 95 notebook of the samples: E100B (0000, no address), a modem
// (0001) and DC21X4 (0002, address set).
inline constexpr std::string_view windows95Sample = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Net\0000]
"DriverDesc"="E100B PCI Adapter"
"DeviceVxDs"="e100b.sys"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Net\0001]
"DriverDesc"="Dial-Up Adapter"
"DeviceVxDs"="pppmac.vxd"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Net\0002]
"DriverDesc"="DC21X4 PCI Fast Ethernet Adapter"
"DeviceVxDs"="dc21x4.sys"
"NetworkAddress"="02004C4F4F50"
)";

// A Windows NT notebook: cards 1 (E100B1, no Parameters address), 2 (a
// modem service) and 3 (DC21X41, address set under Parameters).
inline constexpr std::string_view windowsNtSample = R"(REGEDIT4

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkCards\1]
"ServiceName"="E100B1"
"Title"="[1] E100B PCI Adapter"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkCards\2]
"ServiceName"="NdisWan2"
"Title"="[2] Remote Access WAN Wrapper"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\NetworkCards\3]
"ServiceName"="DC21X41"
"Title"="[3] DC21X4 PCI Fast Ethernet Adapter"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\DC21X41\Parameters]
"NetworkAddress"="0200AA000001"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\E100B1\Parameters]
"BusNumber"=dword:00000000
)";

}  // namespace nicmark::testing
