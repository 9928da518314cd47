// Applying an overlay descriptor, the geometry rules of the overlay window,
// and the placement of the window on the screen.
#pragma once

#include "overlay/host_records.h"

namespace ovlport {

constexpr LONG maxSurfaceWidth = 750;
constexpr LONG maxSurfaceHeight = 600;
constexpr LONG maxFrameSize = 1023;

constexpr bool sameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
// Width and height of a rectangle as 32-bit differences (wrapping, never
// overflowing).
constexpr DWORD rectWidth(const RECT& r) { return static_cast<DWORD>(r.right) - static_cast<DWORD>(r.left); }
constexpr DWORD rectHeight(const RECT& r) { return static_cast<DWORD>(r.bottom) - static_cast<DWORD>(r.top); }

LONG validateWindow(const OverlayWindow* w);
void defaultGeometry(OverlayWindow* w);
LONG applyDescriptor(OverlayObject* object, OverlayDescriptor* d);
LONG placeWindow(OverlayObject* object, const OverlayWindow* w);
LONG updateVisible(OverlayObject* object);

// The overlay object operations of this part.
LONG WINAPI configure(OverlayObject* object, OverlayDescriptor* d);
LONG WINAPI setWindow(OverlayObject* object, OverlayWindow* w);

// The in-place buffer start: the visible rectangle's left edge in bytes,
// raised by whole pixels to a multiple of 4.
DWORD inPlaceBase(LONG left, LONG bytesPerPixel);
// Points the overlay engine at the memory the picture goes to: the overlay
// surface at sourceRect, or in the in-place mode the screen under
// visibleRect.
void pointEngineAtMemory();

}  // namespace ovlport
