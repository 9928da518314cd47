// The capability values the driver offers a host.
#pragma once

#include "overlay/host_records.h"

namespace ovlport {

// Writes the capability values for the controller generation into caps.
void capabilityDefaults(OverlayCaps* caps);

}  // namespace ovlport
