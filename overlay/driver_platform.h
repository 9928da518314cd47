// How the overlay driver reaches the platform: one record of the platform
// objects it calls.  At load it points at the real Win32 services on Windows
// and at the simulated notebook on Linux; a test host puts its own in.
#pragma once

#include "platform/direct_draw.h"
#include "platform/global_memory.h"
#include "platform/ports.h"
#include "platform/screen.h"

namespace ovlport {

struct DriverPlatform {
  platform::Ports* ports = nullptr;
  platform::Screen* screen = nullptr;
  platform::DirectDrawApi* directDrawApi = nullptr;
  platform::GlobalMemory* globalMemory = nullptr;
};

extern DriverPlatform driverPlatform;

// Process attach: the screen query and controller detection; its result goes
// to overlaySupported.
void processAttach();

// Formats the trace of an untrapped DriverProc message into messageBuffer.
void formatUntrappedMessage(UINT message);

namespace testing {
// Puts DriverState back to its load-time values and runs process attach
// again, with the platform objects now in driverPlatform.
void reloadDriver();
}  // namespace testing

}  // namespace ovlport
