// Global memory blocks, as the overlay driver allocates them: handles that are
// locked to reach their memory.
#pragma once

#include "platform/win32_api.h"

namespace platform {

class GlobalMemory {
 public:
  virtual ~GlobalMemory() = default;
  virtual HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) = 0;
  virtual void* GlobalLock(HGLOBAL block) = 0;
  virtual BOOL GlobalUnlock(HGLOBAL block) = 0;
  virtual HGLOBAL GlobalFree(HGLOBAL block) = 0;
};

}  // namespace platform
