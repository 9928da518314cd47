// nicmark on the simulated notebook: the machine profile named by KIT_MACHINE,
// or the built-in sample.  A change the tool makes is written back to the
// profile's registry file.
#include <string>
#include <string_view>
#include <vector>

#include "nicmark.h"
#include "platform/console.h"
#include "sim/machine.h"

int main(int argc, char** argv) {
  platform::StdioConsole console;
  sim::Machine machine;
  std::string error;
  if (!sim::openMachine(machine, error)) {
    console.writeErr("nicmark: cannot load the machine profile: " + error + "\n");
    return nicmark::exitFailed;
  }
  sim::SimVersion version(machine);
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const int code = nicmark::run(version, machine.registry, console, args);
  if (!sim::saveRegistry(machine, error)) {
    console.writeErr("nicmark: cannot save the registry of the machine profile: " + error + "\n");
    return nicmark::exitFailed;
  }
  return code;
}
