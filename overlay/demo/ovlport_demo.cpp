// A short host session of the overlay driver on the simulated notebook of the
// machine profile (KIT_MACHINE, or the built-in sample): the driver table from
// vpmDriverProc, negotiation, an overlay object shown, moved partly off the
// screen, carried through a change of screen depth, and closed.  Every call is
// printed with its result, and the overlay engine's registers at the end.
#include <cstdio>
#include <cstring>
#include <string>

#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"
#include "overlay/driver_table.h"
#include "sim/direct_draw_sim.h"
#include "sim/display_sim.h"
#include "sim/global_memory_sim.h"
#include "sim/machine.h"

namespace {

using namespace ovlport;

void WINAPI hostNotice(DWORD notice, DWORD argument) {
  std::printf("  host notified: notice %lu, argument %lu\n", static_cast<unsigned long>(notice),
              static_cast<unsigned long>(argument));
}

LONG report(const char* call, LONG result) {
  std::printf("%-58s -> %ld\n", call, static_cast<long>(result));
  return result;
}

void printRect(const char* name, const RECT& r) {
  std::printf("  %-18s (%ld, %ld, %ld, %ld)\n", name, static_cast<long>(r.left), static_cast<long>(r.top),
              static_cast<long>(r.right), static_cast<long>(r.bottom));
}

}  // namespace

int main() {
  sim::Machine machine;
  sim::DisplayProfile profile;
  std::string error;
  if (!sim::openMachine(machine, error) || !sim::loadDisplayProfile(machine, profile, error)) {
    std::fprintf(stderr, "ovlport_demo: %s\n", error.c_str());
    return 1;
  }
  long long videoMemory = 2 << 20;
  if (const auto* display = machine.profile["display"].as_table()) {
    const toml::node* node = display->get("video_memory");
    if (node != nullptr && (!sim::profileInteger(node, videoMemory) || videoMemory < 0 || videoMemory > 0xFFFFFFFFLL)) {
      std::fprintf(stderr, "ovlport_demo: [display] video_memory must be a number from 0 to 4294967295\n");
      return 1;
    }
  }
  sim::DisplayController controller(profile);
  sim::SimScreen screen(profile);
  sim::SimDirectDraw directDraw(static_cast<std::size_t>(videoMemory),
                                {profile.width, profile.height, profile.bitsPerPixel, true});
  sim::SimGlobalMemory memory;
  driverPlatform = {&controller, &screen, &directDraw, &memory};
  testing::reloadDriver();  // the library's process attach
  std::printf("notebook: controller generation %d, screen %d x %d at %d bits, %lld bytes of video memory\n\n",
              profile.generation, profile.width, profile.height, profile.bitsPerPixel, videoMemory);

  VpmDriverTable* table = nullptr;
  if (report("vpmDriverProc(0x4001, 0x10100, &table)", vpmDriverProc(0x4001, 0x10100, &table)) != 0) return 1;
  report("queryDriver(table)", table->queryDriver(table));

  OverlayDescriptor request;
  std::memset(&request, 0, sizeof request);
  request.ownerWindow = 0x1234;
  OverlayWindow& w = request.window;
  w.frameWidth = 640;
  w.frameHeight = 480;
  w.captureRect = {0, 0, 640, 480};
  w.surfaceSize = {320, 240};
  w.imageRect = w.displayRect = {0, 0, 320, 240};
  w.destRect = {100, 100, 420, 340};
  OverlayDescriptor answer;
  report("negotiate(table, 0x40, host, answer)", table->negotiate(table, 0x40, &request, &answer));
  std::printf("  answer: capFlags 0x%lX, formats %lu, format %lu, keyColor %lu\n",
              static_cast<unsigned long>(answer.caps.capFlags), static_cast<unsigned long>(answer.caps.formats),
              static_cast<unsigned long>(answer.caps.format), static_cast<unsigned long>(answer.caps.keyColor));

  // The host picks YUY2, its own geometry and a magenta key.
  answer.caps.formats = answer.caps.format = formatYuy2;
  answer.caps.capFlags = capHostGeometry | capHostKeyColor | capClearSurface;
  answer.caps.keyColor = 0xF81F;
  answer.noticeCallback = hostNotice;
  OverlayObject* object = nullptr;
  if (report("openOverlay(table, YUY2 320 x 240, key 0xF81F, &object)", table->openOverlay(table, &answer, &object)) != 0)
    return 1;
  report("show(object)", object->show(object));
  report("showSurface(object)", object->showSurface(object));

  OverlayWindow moved = answer.window;
  moved.destRect = {-160, 100, 160, 340};
  report("setWindow(object, destination (-160, 100, 160, 340))", object->setWindow(object, &moved));
  printRect("visible part", driverState.visibleRect);
  printRect("surface shown", driverState.overlaySourceRect);

  std::printf("-- the screen changes to 24 bits per pixel\n");
  screen.bitsPerPixel = 24;
  directDraw.setMode({profile.width, profile.height, 24, true});
  moved.destRect = {0, 100, 320, 340};
  report("setWindow(object, destination (0, 100, 320, 340))", object->setWindow(object, &moved));
  std::printf("  colour key now 0x%06lX for %ld bytes per pixel\n", static_cast<unsigned long>(driverState.colorKey),
              static_cast<long>(driverState.bytesPerPixel));
  report("show(object)", object->show(object));
  report("hide(object)", object->hide(object));
  report("hideSurface(object)", object->hideSurface(object));
  report("close(object)", object->close(object));

  std::printf("\noverlay engine registers (sequencer):\n");
  for (int index : {0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C,
                    0x1D, 0x1F})
    std::printf("  0x%02X = 0x%02X\n", index, controller.sequencer(static_cast<BYTE>(index)));
  std::printf("DirectDraw objects left: %d, locks held: %d, unlock-bracket violations: %zu\n", directDraw.liveObjects(),
              directDraw.heldLocks(), controller.violations().size());
  driverPlatform = {};
  return directDraw.liveObjects() == 0 && controller.violations().empty() ? 0 : 1;
}
