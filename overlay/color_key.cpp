#include "overlay/color_key.h"

#include <algorithm>

#include "overlay/chip_regs.h"
#include "overlay/configure.h"
#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"
#include "overlay/overlay_regs.h"
#include "overlay/surfaces.h"

namespace ovlport {

namespace {

constexpr DWORD paletteEntries = 256;
constexpr SIZE_T paletteBufferBytes = paletteEntries * sizeof(PALETTEENTRY);  // 1024
static_assert(paletteBufferBytes == 1024);

// Reads the system palette into a movable global block and hands the entries
// to use while the block is locked.  False when no block could be had.
template <typename Use>
bool withSystemPalette(HDC dc, Use use) {
  platform::GlobalMemory& memory = *driverPlatform.globalMemory;
  platform::Screen& screen = *driverPlatform.screen;
  HGLOBAL block = memory.GlobalAlloc(GMEM_MOVEABLE, paletteBufferBytes);
  if (block == nullptr) return false;
  auto* entries = static_cast<PALETTEENTRY*>(memory.GlobalLock(block));
  if (entries == nullptr) {
    memory.GlobalFree(block);
    return false;
  }
  // The buffer holds 256 entries; a device that reports a larger palette is
  // read only as far as the buffer goes.
  const int size = screen.GetDeviceCaps(dc, SIZEPALETTE);
  const UINT count = static_cast<UINT>(std::clamp(size, 0, static_cast<int>(paletteEntries)));
  const UINT read = std::min(screen.GetSystemPaletteEntries(dc, 0, count, entries), count);
  use(entries, read);
  memory.GlobalUnlock(block);
  memory.GlobalFree(block);
  return true;
}

DWORD entryColor(const PALETTEENTRY& entry) {
  return static_cast<DWORD>(entry.peRed) << 16 | static_cast<DWORD>(entry.peGreen) << 8 | entry.peBlue;
}

// The key on an 8-bit screen when it has no palette index yet: the palette
// entry of the device's nearest colour.
void nearestColorSearch() {
  DriverState& s = driverState;
  platform::Screen& screen = *driverPlatform.screen;
  HDC dc = screen.GetDC(nullptr);
  // key24 goes to GDI unchanged (red where GDI reads blue), and the answer is
  // read back in key24's order: the two swaps belong together.
  const COLORREF nearest = screen.GetNearestColor(dc, s.key24);
  s.colorKey = nearest;
  const bool read = withSystemPalette(dc, [&](const PALETTEENTRY* entries, UINT count) {
    s.colorKey = fallbackPaletteIndex;
    for (UINT i = 0; i < count; ++i)
      if (entryColor(entries[i]) == (nearest & 0xFFFFFF)) {
        s.colorKey = i;
        break;
      }
  });
  if (!read) s.colorKey = fallbackPaletteIndex;
  screen.ReleaseDC(nullptr, dc);
  s.keyPaletteIndex = s.colorKey;
}

template <int B>
DWORD pixelAt(const BYTE* p) {
  if constexpr (B == 1) return p[0];
  if constexpr (B == 2) return p[0] | static_cast<DWORD>(p[1]) << 8;
  if constexpr (B == 3) return static_cast<DWORD>(p[0]) << 16 | static_cast<DWORD>(p[1]) << 8 | p[2];
}

// Compares every pixel of the rows x width rectangle at p with the key and
// with the first pixel; stops at the first key-coloured one.  True on a
// collision; clears uniform when a pixel differs from the first.
template <int B>
bool scanPixels(const BYTE* p, LONG width, LONG rows, std::size_t rowSkip, DWORD key, bool& uniform) {
  const DWORD first = pixelAt<B>(p);
  for (LONG row = 0; row < rows; ++row) {
    for (LONG x = 0; x < width; ++x) {
      const DWORD pixel = pixelAt<B>(p);
      if (pixel != first) uniform = false;
      if (pixel == key) return true;
      p += B;
    }
    p += rowSkip;
  }
  return false;
}

}  // namespace

LONG deriveColorKey(DWORD capFlags, DWORD keyColor) {
  DriverState& s = driverState;
  if ((capFlags & capHostKeyColor) == 0) {
    s.colorKey = noColorKey;
    return resultOk;
  }
  s.colorKey = keyColor;
  switch (s.configuredBytesPerPixel) {
    case 1: {
      if ((s.colorKey & 0xFFFFFF00) != 0) return errKeyColor;
      s.keyPaletteIndex = s.colorKey;
      platform::Screen& screen = *driverPlatform.screen;
      HDC dc = screen.GetDC(nullptr);
      const bool read = withSystemPalette(dc, [&](const PALETTEENTRY* entries, UINT count) {
        // Only an entry the palette read filled has a colour to take.
        if (s.colorKey >= count) return;
        s.key24 = entryColor(entries[s.colorKey]);
        s.key16 = key16From24(s.key24);
      });
      if (!read) s.colorKey = fallbackPaletteIndex;
      screen.ReleaseDC(nullptr, dc);
      break;
    }
    case 2:
      if ((s.colorKey >> 24) == 0x01) {
        // A 24-bit colour, marked by bit 24.
        s.key24 = s.colorKey & 0xFFFFFF;
        s.key16 = key16From24(s.key24);
        s.colorKey = s.key16;
      } else {
        if ((s.colorKey & 0xFFFF0000) != 0) return errKeyColor;
        s.key16 = s.colorKey;
        s.key24 = key24From16(s.key16);
      }
      s.keyPaletteIndex = noPaletteIndex;
      break;
    case 3:
      if (s.colorKey > 0x1FFFFFF) return errKeyColor;
      s.colorKey &= 0xFFFFFF;
      s.key24 = s.colorKey;
      s.keyPaletteIndex = noPaletteIndex;
      s.key16 = key16From24(s.key24);
      break;
    default:
      break;
  }
  return resultOk;
}

void scanScreenForKey(int b, DWORD lineBytes) {
  DriverState& s = driverState;
  s.colorKey |= keyUniformBit;
  if (b < 1 || b > 3) return;
  // Only what lies on the screen is read: after a change to a smaller screen
  // the last visible rectangle may reach beyond it.
  const LONG left = std::clamp<LONG>(s.visibleRect.left, 0, s.screenWidth);
  const LONG top = std::clamp<LONG>(s.visibleRect.top, 0, s.screenHeight);
  const LONG right = std::clamp<LONG>(s.visibleRect.right, 0, s.screenWidth);
  const LONG bottom = std::clamp<LONG>(s.visibleRect.bottom, 0, s.screenHeight);
  const LONG width = right - left;
  const LONG rows = bottom - top;
  bool uniform = true;
  bool collision = false;
  if (width > 0 && rows > 0 && s.primaryBits != nullptr) {
    const BYTE* p = s.primaryBits + static_cast<std::size_t>(top) * lineBytes + static_cast<std::size_t>(left) * b;
    const std::size_t rowSkip = lineBytes - static_cast<std::size_t>(width) * b;
    const DWORD mask = b == 1 ? 0xFF : b == 2 ? 0xFFFF : 0xFFFFFF;
    const DWORD key = s.colorKey & mask;
    switch (b) {
      case 1:
        collision = scanPixels<1>(p, width, rows, rowSkip, key, uniform);
        break;
      case 2:
        collision = scanPixels<2>(p, width, rows, rowSkip, key, uniform);
        break;
      default:
        collision = scanPixels<3>(p, width, rows, rowSkip, key, uniform);
        break;
    }
  }
  if (!uniform) s.colorKey &= ~keyUniformBit;
  if (collision) s.colorKey |= keyCollisionBit;
  switch (b) {
    case 1:
      if ((s.colorKey & keyUniformBit) != 0) {
        s.colorKey &= 0xFF;
        s.keyPaletteIndex = s.colorKey;
      }
      break;
    case 2:
      if ((s.colorKey & keyCollisionBit) == 0) {
        s.colorKey &= 0xFFFF;
        s.key16 = s.colorKey;
      }
      break;
    default:
      if ((s.colorKey & keyCollisionBit) == 0) {
        s.colorKey &= 0xFFFFFF;
        s.key24 = s.colorKey;
      }
      break;
  }
}

void postNotice(OverlayObject* object, DWORD argument) {
  DriverState& s = driverState;
  if (object->storedDescriptor.noticeCallback == nullptr || s.notifying != 0) return;
  s.pendingNotice = overlayLostNotice;
  s.noticeArgument = argument;
  s.overlayShown = 0;
}

void deliverNotice(OverlayObject* object) {
  DriverState& s = driverState;
  if (s.notifying != 0) return;
  NoticeCallback callback = object->storedDescriptor.noticeCallback;
  if (callback == nullptr) {
    s.pendingNotice = 0;
    return;
  }
  s.notifying = 1;
  callback(s.pendingNotice, s.noticeArgument);
  s.notifying = 0;
  s.pendingNotice = 0;
}

LONG recoverSurfaces(OverlayObject* object) {
  DriverState& s = driverState;
  if (s.overlayShown != 0) setOverlayControl(0, controlEnable);

  const HRESULT restored = restoreSurfaces();
  if (!isDirectDrawError(restored, errorNumberWrongMode)) {
    if (restored != platform::DD_OK) return restored;
  } else {
    // The display mode changed: read the screen again and rebuild the key
    // for the new depth.
    queryScreen();
    s.inPlaceMode = 0;
    if (s.configuredBytesPerPixel != static_cast<WORD>(s.bytesPerPixel) && s.colorKey < keyUniformBit) {
      s.configuredBytesPerPixel = static_cast<WORD>(s.bytesPerPixel);
      DWORD lineBytes = s.screenWidth;
      switch (s.bytesPerPixel) {
        case 1:
          if (s.keyPaletteIndex <= 255)
            s.colorKey = s.keyPaletteIndex;
          else
            nearestColorSearch();
          break;
        case 2:
          s.colorKey = s.key16;
          lineBytes = 2u * s.screenWidth;
          break;
        case 3:
          s.colorKey = s.key24;
          lineBytes = 3u * s.screenWidth;
          break;
        default:
          break;
      }
      if (object->storedDescriptor.noticeCallback != nullptr && s.notifying == 0)
        postNotice(object, 3);
      else
        scanScreenForKey(s.configuredBytesPerPixel, lineBytes);
    }

    // New DirectDraw objects for the new mode.
    if (s.directDraw != nullptr) {
      if (s.overlaySurface != nullptr) s.overlaySurface->Release();
      s.overlaySurface = nullptr;
      if (s.primarySurface != nullptr) s.primarySurface->Release();
      s.primarySurface = nullptr;
      s.directDraw->Release();
      s.directDraw = nullptr;
    }
    driverPlatform.directDrawApi->DirectDrawCreate(nullptr, &s.directDraw, nullptr);
    if (s.directDraw == nullptr) return errUnavailable;

    const DWORD window = object->storedDescriptor.ownerWindow;
    DWORD word = createSurfaces(window, s.surfaceWidth, s.surfaceHeight, s.surfaceFourCC, s.colorKey);
    if (creationSucceeded(word)) {
      s.overlayOffset = word;
    } else if (creationErrorNumber(word) == errorNumberOutOfVideoMemory) {
      const bool inPlacePossible = s.appliedKey != 0 && s.configuredBytesPerPixel > 1 && s.inPlaceMode == 0 &&
                                   sameRect(s.sourceRect, s.overlaySourceRect);
      if (!inPlacePossible) {
        postNotice(object, 1);
        return errNoVideoMemory;
      }
      s.inPlaceMode = 1;
      word = createSurfaces(window, s.surfaceWidth, s.surfaceHeight, s.surfaceFourCC, s.colorKey);
      if (!creationSucceeded(word)) {
        s.inPlaceMode = 0;
        return errNoVideoMemory;
      }
      s.overlayOffset = word;
    } else {
      postNotice(object, 3);
      // A primary surface without an RGB format fails with error number 0,
      // which must not read as success.
      const DWORD number = creationErrorNumber(word);
      return number != 0 ? static_cast<LONG>(number) : errOverlayFailed;
    }
  }

  pointEngineAtMemory();
  if (s.overlayShown != 0) setOverlayControl(static_cast<WORD>(s.overlayControl | controlEnable), 0xFFFF);
  return resultOk;
}

}  // namespace ovlport
