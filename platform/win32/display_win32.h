// The real I/O ports and screen queries on Windows.
#pragma once

#include "platform/ports.h"
#include "platform/screen.h"

namespace platform {

// Direct port I/O with the in and out instructions, where the process may
// reach the ports: 32-bit code on Windows 95.  Elsewhere (Windows NT, where
// ring 3 code is refused the ports, and every 64-bit Windows) no device
// answers: reads give 0 and writes go nowhere, so the display controller is
// never detected there.
class Win32Ports : public Ports {
 public:
  Win32Ports();
  BYTE inp(WORD port) override;
  void outp(WORD port, BYTE value) override;
  void outpw(WORD port, WORD value) override;
  bool direct() const { return direct_; }

 private:
  bool direct_;
};

class Win32Screen : public Screen {
 public:
  HDC GetDC(HWND window) override;
  int ReleaseDC(HWND window, HDC dc) override;
  int GetDeviceCaps(HDC dc, int index) override;
  UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) override;
  COLORREF GetNearestColor(HDC dc, COLORREF color) override;
};

}  // namespace platform
