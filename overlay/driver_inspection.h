// What a host on the simulated notebook may look at besides the driver's
// exports: the platform objects the driver runs on and its state record.
// The Linux build of the library exports it as ovlportInspection, so that a
// test host can trace the ports and DirectDraw calls, raise events of the
// simulated notebook and print the driver's state.  The Windows build has no
// such export.
#pragma once

#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"

namespace ovlport {

struct DriverInspection {
  DriverPlatform* platform;
  DriverState* state;
};

inline constexpr const char* inspectionSymbol = "ovlportInspection";

}  // namespace ovlport

extern "C" ovlport::DriverInspection* ovlportInspection();
