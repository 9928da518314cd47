#include "overlay/driver_state.h"

#include "overlay/driver_platform.h"

namespace ovlport {

// Constant-initialised: all zero but appliedKey, before any code of the
// library runs.
constinit DriverState driverState{};

}  // namespace ovlport
