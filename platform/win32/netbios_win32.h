// NetBIOS through the platform's own Netbios (netapi32).
#pragma once

#include "platform/netbios.h"

namespace platform {

class Win32NetBios : public NetBios {
 public:
  UCHAR Netbios(NCB* ncb) override;
};

}  // namespace platform
