// The I/O ports of the machine, as a driver that talks to a device's
// registers directly reaches them: an 8-bit read, an 8-bit write and a 16-bit
// write of one port (the 16-bit write puts the low byte on the port and the
// high byte on the port after it, as an index/data register pair expects).
#pragma once

#include "platform/win32_api.h"

namespace platform {

class Ports {
 public:
  virtual ~Ports() = default;
  virtual BYTE inp(WORD port) = 0;
  virtual void outp(WORD port, BYTE value) = 0;
  virtual void outpw(WORD port, WORD value) = 0;
};

}  // namespace platform
