// Format negotiation and overlay objects are not offered by this build of the
// driver: the table's two slots refuse the host.
#include "overlay/driver_table.h"

namespace ovlport {

LONG WINAPI negotiate(VpmDriverTable*, DWORD, OverlayDescriptor*, OverlayDescriptor*) { return errUnavailable; }

LONG WINAPI openOverlay(VpmDriverTable*, OverlayDescriptor*, OverlayObject**) { return errUnavailable; }

}  // namespace ovlport
