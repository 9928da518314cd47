// The overlay driver's single state record: what it knows about the screen,
// the display controller, the DirectDraw objects, the colour key, the current
// overlay geometry and the host notification.  One static instance for the
// whole time the library is loaded; every operation reads and writes it
// directly.
#pragma once

#include "overlay/host_records.h"

namespace platform {
// The DirectDraw object and its surfaces, as the platform seam offers them.
class IDirectDraw;
class IDirectDrawSurface;
}  // namespace platform

namespace ovlport {

// colorKey: no colour key, and the state bits recovery sets.
constexpr DWORD noColorKey = 0xFF000000;
constexpr DWORD keyUniformBit = 0x1000000;
constexpr DWORD keyCollisionBit = 0x2000000;

// surfaceFourCC values.
constexpr DWORD fourCcRgb565 = 0x35363520;  // " 565"
constexpr DWORD fourCcYuy2 = 0x32595559;    // "YUY2"

constexpr int messageBufferSize = 32;

struct DriverState {
  DWORD overlaySupported = 0;  // 1 when the generation found at process attach is 3 or higher
  platform::IDirectDraw* directDraw = nullptr;
  platform::IDirectDrawSurface* primarySurface = nullptr;
  platform::IDirectDrawSurface* overlaySurface = nullptr;
  BYTE* primaryBits = nullptr;
  BYTE* overlayBits = nullptr;
  DWORD appliedKey = noColorKey;  // colour key last given to DirectDraw
  DWORD notifying = 0;            // 1 while the host's noticeCallback runs
  DWORD pendingNotice = 0;
  char messageBuffer[messageBufferSize] = {};  // "Untrapped message: %x" trace of DriverProc
  DWORD keyPaletteIndex = 0;
  LONG overlayPitch = 0;
  WORD overlayControl = 0;  // low byte: sequencer 0x08, high byte: 0x09
  DWORD placementRetry = 0;
  DWORD clearSurface = 0;
  DWORD colorKey = 0;
  DWORD noticeArgument = 0;
  RECT visibleRect = {};
  LONG surfaceWidth = 0;
  LONG surfaceHeight = 0;
  DWORD surfaceFourCC = 0;
  RECT sourceRect = {};
  DWORD inPlaceMode = 0;
  DWORD createFailure = 0;
  OverlayDescriptor scratchDescriptor = {};
  DWORD key16 = 0;
  DWORD key24 = 0;
  RECT overlaySourceRect = {};
  WORD configuredBytesPerPixel = 0;
  DWORD lastConfigureOk = 0;
  DWORD overlayShown = 0;
  DWORD surfaceShown = 0;
  WORD controllerGeneration = 0;  // 0 not yet detected, 1 unsupported screen depth
  WORD openObjects = 0;
  VpmDriverTable driverTable = {};
  VpmAttributeBlock attributeBlock = {};  // directly behind driverTable
  LONG bytesPerPixel = 0;
  WORD screenHeight = 0;
  WORD screenWidth = 0;
  DWORD overlayOffset = 0;
  DWORD defaultKey = 0;
  // The global memory block of the overlay object: the open one, or after
  // close the closed one, kept readable until the next open frees it; and the
  // object's address, by which close knows the open object.
  HGLOBAL objectBlock = nullptr;
  OverlayObject* objectAddress = nullptr;
};

// The host reaches the attribute block at the table's address plus the
// table's size, so the two fields must touch.
static_assert(offsetof(DriverState, attributeBlock) == offsetof(DriverState, driverTable) + sizeof(VpmDriverTable));

// The one instance.
extern DriverState driverState;

}  // namespace ovlport
