#include "win32/display_win32.h"

namespace platform {

namespace {

bool portsReachable() {
#if defined(__i386__)
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  return ::GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
#else
  return false;
#endif
}

}  // namespace

Win32Ports::Win32Ports() : direct_(portsReachable()) {}

BYTE Win32Ports::inp(WORD port) {
  BYTE value = 0;
#if defined(__i386__)
  if (direct_) __asm__ __volatile__("inb %w1, %b0" : "=a"(value) : "Nd"(port));
#else
  (void)port;
#endif
  return value;
}

void Win32Ports::outp(WORD port, BYTE value) {
#if defined(__i386__)
  if (direct_) __asm__ __volatile__("outb %b0, %w1" : : "a"(value), "Nd"(port));
#else
  (void)port;
  (void)value;
#endif
}

void Win32Ports::outpw(WORD port, WORD value) {
#if defined(__i386__)
  if (direct_) __asm__ __volatile__("outw %w0, %w1" : : "a"(value), "Nd"(port));
#else
  (void)port;
  (void)value;
#endif
}

HDC Win32Screen::GetDC(HWND window) { return ::GetDC(window); }

int Win32Screen::ReleaseDC(HWND window, HDC dc) { return ::ReleaseDC(window, dc); }

int Win32Screen::GetDeviceCaps(HDC dc, int index) { return ::GetDeviceCaps(dc, index); }

UINT Win32Screen::GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) {
  return ::GetSystemPaletteEntries(dc, start, count, entries);
}

COLORREF Win32Screen::GetNearestColor(HDC dc, COLORREF color) { return ::GetNearestColor(dc, color); }

}  // namespace platform
