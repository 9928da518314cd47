// The library's entry point on Windows: process attach detects the display
// controller through the real ports and the real screen.
#include "overlay/driver_platform.h"
#include "win32/direct_draw_win32.h"
#include "win32/display_win32.h"

namespace {

platform::Win32Ports ports;
platform::Win32Screen screen;
platform::Win32DirectDraw directDraw;
platform::Win32GlobalMemory globalMemory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ovlport::driverPlatform.ports = &ports;
    ovlport::driverPlatform.screen = &screen;
    ovlport::driverPlatform.directDrawApi = &directDraw;
    ovlport::driverPlatform.globalMemory = &globalMemory;
    // The library loads on any display; an unsupported one only makes the
    // overlay unavailable.
    ovlport::processAttach();
  }
  return TRUE;
}
