// The real DirectDraw and global memory.
#pragma once

#include "platform/direct_draw.h"
#include "platform/global_memory.h"

namespace platform {

// DirectDrawCreate of DDRAW.DLL, its object and its surfaces, each behind the
// seam's interfaces.
class Win32DirectDraw : public DirectDrawApi {
 public:
  HRESULT DirectDrawCreate(GUID* device, IDirectDraw** directDraw, void* outer) override;
};

class Win32GlobalMemory : public GlobalMemory {
 public:
  HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) override;
  void* GlobalLock(HGLOBAL block) override;
  BOOL GlobalUnlock(HGLOBAL block) override;
  HGLOBAL GlobalFree(HGLOBAL block) override;
};

}  // namespace platform
