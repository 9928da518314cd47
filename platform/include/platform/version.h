// The version query of the platform.
#pragma once

#include "platform/win32_api.h"

namespace platform {

class Version {
 public:
  virtual ~Version() = default;
  virtual BOOL GetVersionExA(OSVERSIONINFOA* info) = 0;
};

}  // namespace platform
