// The overlay object: open, and the operations a host calls through it.
#pragma once

#include "overlay/host_records.h"

namespace ovlport {

// Global memory flags of the object block and its shareable buffer: movable,
// zero-filled, shareable.
constexpr UINT objectMemoryFlags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE;  // 0x2042

LONG WINAPI closeOverlay(OverlayObject* object);
LONG WINAPI show(OverlayObject* object);
LONG WINAPI hide(OverlayObject* object);
LONG WINAPI showSurface(OverlayObject* object);
LONG WINAPI hideSurface(OverlayObject* object);
LONG WINAPI getDescriptor(OverlayObject* object, OverlayDescriptor* out);
LONG WINAPI reservedOp1(OverlayObject* object, DWORD a, DWORD b);
LONG WINAPI lock(OverlayObject* object, SurfaceAccess* access);
LONG WINAPI unlock(OverlayObject* object);
LONG WINAPI readRect(OverlayObject* object, SurfaceAccess* access, RECT* surfaceRect, BYTE* buffer, LONG pitch,
                     RECT* hostRect);
LONG WINAPI writeRect(OverlayObject* object, BYTE* buffer, LONG pitch, RECT* hostRect, SurfaceAccess* access,
                      RECT* surfaceRect);
LONG WINAPI reservedOp2(OverlayObject* object, DWORD a);

}  // namespace ovlport
