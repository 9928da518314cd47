// The inspection export of the Linux build (see driver_inspection.h).
#ifndef _WIN32
#include "overlay/driver_inspection.h"

extern "C" __attribute__((visibility("default"))) ovlport::DriverInspection* ovlportInspection() {
  static ovlport::DriverInspection view{&ovlport::driverPlatform, &ovlport::driverState};
  return &view;
}
#endif
