// nicshow on Linux.  With KIT_MACHINE naming a machine profile, NetBIOS is
// the profile's simulated LAN adapters; without one it answers from this
// machine's own network interfaces, so the tool prints the real LAN address.
#include <string>

#include "nicshow.h"
#include "platform/console.h"
#include "sim/machine.h"
#include "sim/netbios_sim.h"

int main() {
  platform::StdioConsole console;
  sim::SimNetBios netbios;
  std::string error;
  if (sim::machineNamed()) {
    sim::Machine machine;
    if (!sim::openMachine(machine, error) || !sim::loadNetBios(machine, netbios, error)) {
      console.writeErr("nicshow: cannot load the machine profile: " + error + "\n");
      return nicshow::exitNoMachine;
    }
  } else if (!sim::loadHostNetBios(netbios, error)) {
    console.writeErr("nicshow: cannot read the network interfaces: " + error + "\n");
    return nicshow::exitNoMachine;
  }
  return nicshow::run(netbios, console);
}
