#include "win32/netbios_win32.h"

#include <cstddef>

// The 32-bit control block is the one the tools' command table describes:
// 64 bytes, with the fields they set at these offsets.
#ifndef _WIN64
static_assert(sizeof(NCB) == 64);
static_assert(offsetof(NCB, ncb_command) == 0);
static_assert(offsetof(NCB, ncb_buffer) == 4);
static_assert(offsetof(NCB, ncb_length) == 8);
static_assert(offsetof(NCB, ncb_callname) == 10);
static_assert(offsetof(NCB, ncb_lana_num) == 48);
#endif

namespace platform {

UCHAR Win32NetBios::Netbios(NCB* ncb) { return ::Netbios(ncb); }

}  // namespace platform
