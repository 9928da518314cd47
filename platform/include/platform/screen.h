// The screen as GDI and USER report it: the screen device context and its
// device capabilities.  The calls keep the platform's arguments and results.
#pragma once

#include "platform/win32_api.h"

namespace platform {

class Screen {
 public:
  virtual ~Screen() = default;
  // GetDC with a null window gives the device context of the whole screen.
  virtual HDC GetDC(HWND window) = 0;
  virtual int ReleaseDC(HWND window, HDC dc) = 0;
  virtual int GetDeviceCaps(HDC dc, int index) = 0;
  // The system palette (on a palette device) and the device colour nearest to
  // a colour.
  virtual UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) = 0;
  virtual COLORREF GetNearestColor(HDC dc, COLORREF color) = 0;
};

}  // namespace platform
