// The library's load on Linux: the driver runs on the simulated notebook of
// the machine profile (KIT_MACHINE, or the built-in sample), and process
// attach runs as the library is loaded.
#include <cstdio>
#include <string>

#include "overlay/driver_platform.h"
#include "sim/display_sim.h"

namespace {

void loadSimulatedNotebook() {
  static sim::Machine machine;
  sim::DisplayProfile profile;
  std::string error;
  if (!sim::openMachine(machine, error) || !sim::loadDisplayProfile(machine, profile, error))
    std::fprintf(stderr, "ovlport: %s; using the default display\n", error.c_str());
  static sim::DisplayController controller(profile);
  static sim::SimScreen screen(profile);
  ovlport::driverPlatform.ports = &controller;
  ovlport::driverPlatform.screen = &screen;
}

__attribute__((constructor)) void processAttachAtLoad() {
  loadSimulatedNotebook();
  ovlport::processAttach();
}

}  // namespace
