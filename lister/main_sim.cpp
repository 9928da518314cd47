// oidview on the simulated notebook: the machine profile named by KIT_MACHINE,
// or the built-in sample.
#include <string>

#include "oidview.h"
#include "sim/device_sim.h"
#include "sim/language_sim.h"
#include "sim/machine.h"

int main(int argc, char** argv) {
  platform::StdioConsole console;
  sim::Machine machine;
  sim::SimDevice device;
  sim::SimLanguage language;
  std::string error;
  if (!sim::openMachine(machine, error) || !sim::loadLanguage(language, machine.profile, error) ||
      !sim::loadDevice(device, machine.profile, error)) {
    console.writeErr("oidview: " + error + "\n");
    return 2;
  }
  sim::SimVersion version(machine);
  oidview::Lister lister{machine.registry, version, language, device, console};
  const int code = oidview::runOidview(lister, argc, argv);
  if (!sim::saveRegistry(machine, error)) {
    console.writeErr("oidview: " + error + "\n");
    return 2;
  }
  return code;
}
