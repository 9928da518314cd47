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

// 2 MB of video memory when the profile names none.
constexpr long long defaultVideoMemory = 2 << 20;

// The [display] section of the machine profile, with [display] video_memory
// in bytes.  On a false return nothing of the section is taken.
bool readDisplay(sim::Machine& machine, sim::DisplayProfile& display, long long& videoMemory, std::string& error) {
  sim::DisplayProfile read;
  if (!sim::openMachine(machine, error) || !sim::loadDisplayProfile(machine, read, error)) return false;
  long long bytes = defaultVideoMemory;
  if (const auto* section = machine.profile["display"].as_table()) {
    if (const toml::node* node = section->get("video_memory")) {
      // At most what a 32-bit address reaches.
      if (!sim::profileInteger(node, bytes) || bytes < 0 || bytes > 0xFFFFFFFFLL) {
        error = "[display] video_memory must be a number from 0 to 4294967295";
        return false;
      }
    }
  }
  display = read;
  videoMemory = bytes;
  return true;
}

void loadSimulatedNotebook() {
  static sim::Machine machine;
  sim::DisplayProfile profile;
  long long videoMemory = defaultVideoMemory;
  std::string error;
  if (!readDisplay(machine, profile, videoMemory, error))
    std::fprintf(stderr, "ovlport: %s; using the default display\n", error.c_str());
  static sim::DisplayController controller(profile);
  static sim::SimScreen screen(profile);
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
