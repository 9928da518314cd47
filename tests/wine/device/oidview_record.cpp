// The lister on the simulated notebook, as the Linux oidview runs it, that
// afterwards writes the requests the simulated companion device received to
// the file named by KIT_DEVICE_RECORD, one line each:
//   <control code, 8 hex digits> <output buffer size> <input bytes in hex>
// The Wine end-to-end tests compare this record with the requests the test
// device received under Wine.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "oidview.h"
#include "sim/device_sim.h"
#include "sim/language_sim.h"
#include "sim/machine.h"

int main(int argc, char** argv) {
  platform::StdioConsole console;
  const char* recordPath = std::getenv("KIT_DEVICE_RECORD");
  if (recordPath == nullptr || *recordPath == '\0') {
    console.writeErr("oidview_record: KIT_DEVICE_RECORD names no file\n");
    return 2;
  }
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

  std::FILE* record = std::fopen(recordPath, "w");
  if (record == nullptr) {
    console.writeErr(std::string("oidview_record: cannot write ") + recordPath + "\n");
    return 2;
  }
  for (const sim::DeviceRequest& request : device.requests()) {
    std::fprintf(record, "%08lx %lu ", static_cast<unsigned long>(request.code),
                 static_cast<unsigned long>(request.outputSize));
    for (BYTE b : request.input) std::fprintf(record, "%02x", static_cast<unsigned>(b));
    std::fprintf(record, "\n");
  }
  const bool written = std::fclose(record) == 0;
  return written ? code : 2;
}
