// The library's load on Linux: the driver runs on the simulated notebook of
// the machine profile (KIT_MACHINE, or the built-in sample), and process
// attach runs as the library is loaded.
#include <cstdio>
#include <string>

#include "overlay/driver_platform.h"
#include "sim/direct_draw_sim.h"
#include "sim/display_sim.h"
#include "sim/global_memory_sim.h"

namespace {

void loadSimulatedNotebook() {
  static sim::Machine machine;
  sim::DisplayProfile profile;
  std::string error;
  if (!sim::openMachine(machine, error) || !sim::loadDisplayProfile(machine, profile, error))
    std::fprintf(stderr, "ovlport: %s; using the default display\n", error.c_str());
  static sim::DisplayController controller(profile);
  static sim::SimScreen screen(profile);
  // Video memory: [display] video_memory in bytes, 2 MB when not given.
  long long videoMemory = 2 << 20;
  if (const auto* display = machine.profile["display"].as_table())
    sim::profileInteger(display->get("video_memory"), videoMemory);
  static sim::SimDirectDraw directDraw(static_cast<std::size_t>(videoMemory),
                                       {profile.width, profile.height, profile.bitsPerPixel, true});
  static sim::SimGlobalMemory globalMemory;
  ovlport::driverPlatform.ports = &controller;
  ovlport::driverPlatform.screen = &screen;
  ovlport::driverPlatform.directDrawApi = &directDraw;
  ovlport::driverPlatform.globalMemory = &globalMemory;
}

__attribute__((constructor)) void processAttachAtLoad() {
  loadSimulatedNotebook();
  ovlport::processAttach();
}

}  // namespace
