#include "overlay/overlay_object.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "overlay/chip_regs.h"
#include "overlay/color_key.h"
#include "overlay/configure.h"
#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"
#include "overlay/driver_table.h"
#include "overlay/negotiate.h"
#include "overlay/overlay_regs.h"
#include "overlay/surfaces.h"

namespace ovlport {

namespace {

constexpr DWORD accessRequestBit = 0x8;
constexpr LONG bytesPerOverlayPixel = 2;

// Releases the DirectDraw side: the overlay surface, then the primary
// surface and the DirectDraw object, and drops a pending notice.
void releaseDirectDraw() {
  DriverState& s = driverState;
  if (s.overlaySurface != nullptr) s.overlaySurface->Release();
  s.overlaySurface = nullptr;
  if (s.directDraw != nullptr) {
    if (s.primarySurface != nullptr) s.primarySurface->Release();
    s.primarySurface = nullptr;
    s.directDraw->Release();
    s.directDraw = nullptr;
    s.pendingNotice = 0;
  }
}

void freeBlock(HGLOBAL block) {
  platform::GlobalMemory& memory = *driverPlatform.globalMemory;
  memory.GlobalUnlock(block);
  memory.GlobalFree(block);
}

// The bounds of the memory a SurfaceAccess reaches: the overlay surface, or
// in the in-place mode the screen; the widest pitch lock hands out; and the
// bytes from the access's memory to the end of that memory.
struct SurfaceBounds {
  LONG width;
  LONG height;
  LONG pitch;
  std::int64_t bytes;
};

SurfaceBounds accessBounds(const BYTE* memory) {
  const DriverState& s = driverState;
  const std::int64_t surfaceBytes = static_cast<std::int64_t>(s.surfaceHeight) * s.overlayPitch;
  if (s.inPlaceMode != 0) {
    const LONG screenPitch = static_cast<LONG>(s.screenWidth) * s.bytesPerPixel;
    // Memory inside the screen reaches to the screen's end, wherever in the
    // screen the lock put it.
    const auto address = reinterpret_cast<std::uintptr_t>(memory);
    const auto screen = reinterpret_cast<std::uintptr_t>(s.primaryBits);
    const std::uintptr_t screenEnd = screen + static_cast<std::uintptr_t>(screenPitch) * s.screenHeight;
    const bool onScreen = s.primaryBits != nullptr && address >= screen && address < screenEnd;
    return {s.screenWidth, s.screenHeight, screenPitch > s.overlayPitch ? screenPitch : s.overlayPitch,
            onScreen ? static_cast<std::int64_t>(screenEnd - address) : surfaceBytes};
  }
  return {s.surfaceWidth, s.surfaceHeight, s.overlayPitch, surfaceBytes};
}

bool insideSurface(const RECT& r, const SurfaceBounds& bounds) {
  return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right <= bounds.width &&
         r.bottom <= bounds.height;
}

enum class Direction { toHost, toSurface };

// The common work of readRect and writeRect.
LONG copyRect(Direction direction, const OverlayObject* object, SurfaceAccess* access, const RECT* sr, BYTE* buffer,
              LONG pitch, const RECT* hr) {
  if (buffer == nullptr || object == nullptr || access == nullptr || sr == nullptr || hr == nullptr || access->memory == nullptr)
    return errNullArgument;
  if (rectWidth(*sr) != rectWidth(*hr) || rectHeight(*sr) != rectHeight(*hr)) return errGeometry;
  const SurfaceBounds bounds = accessBounds(access->memory);
  if (!insideSurface(*sr, bounds)) return errGeometry;

  const std::size_t width = rectWidth(*sr);
  const std::size_t height = rectHeight(*sr);
  const LONG accessPitch = access->pitch;
  if (pitch == accessPitch && sr->left == 0 && sr->top == 0 && hr->left == 0 && hr->top == 0 && accessPitch > 0 &&
      accessPitch <= bounds.pitch && static_cast<std::int64_t>(height) * accessPitch <= bounds.bytes) {
    // Whole lines, the bytes beyond the rectangle's width included.
    const std::size_t bytes = height * static_cast<std::size_t>(pitch);
    if (direction == Direction::toHost)
      std::memmove(buffer, access->memory, bytes);
    else
      std::memmove(access->memory, buffer, bytes);
    return resultOk;
  }
  const std::size_t lineBytes = width * bytesPerOverlayPixel;
  if (height != 0) {
    // The lines on the surface side stay inside the surface's memory with the
    // pitch the access record carries, as the whole block does.
    const auto lineStart = [&](std::int64_t line) {
      return line * accessPitch + static_cast<std::int64_t>(sr->left) * bytesPerOverlayPixel;
    };
    const std::int64_t firstLine = lineStart(sr->top);
    const std::int64_t lastLine = lineStart(static_cast<std::int64_t>(sr->top) + static_cast<std::int64_t>(height) - 1);
    if (std::min(firstLine, lastLine) < 0 ||
        std::max(firstLine, lastLine) + static_cast<std::int64_t>(lineBytes) > bounds.bytes)
      return errGeometry;
  }
  BYTE* surfaceLine = access->memory + static_cast<std::ptrdiff_t>(sr->top) * accessPitch +
                      static_cast<std::ptrdiff_t>(sr->left) * bytesPerOverlayPixel;
  BYTE* hostLine =
      buffer + static_cast<std::ptrdiff_t>(hr->top) * pitch + static_cast<std::ptrdiff_t>(hr->left) * bytesPerOverlayPixel;
  for (std::size_t line = 0; line < height; ++line) {
    if (direction == Direction::toHost)
      std::memmove(hostLine, surfaceLine, lineBytes);
    else
      std::memmove(surfaceLine, hostLine, lineBytes);
    surfaceLine += accessPitch;
    hostLine += pitch;
  }
  return resultOk;
}

}  // namespace

LONG WINAPI openOverlay(VpmDriverTable* table, OverlayDescriptor* d, OverlayObject** slot) {
  DriverState& s = driverState;
  if (table == nullptr || d == nullptr || slot == nullptr) return errNullArgument;
  if (s.overlaySupported == 0 || s.openObjects != 0 || s.controllerGeneration < 3) return errUnavailable;

  platform::GlobalMemory& memory = *driverPlatform.globalMemory;
  // The block a closed object left readable goes now: at most one is kept.
  if (s.objectBlock != nullptr) {
    freeBlock(s.objectBlock);
    s.objectBlock = nullptr;
    s.objectAddress = nullptr;
  }
  HGLOBAL block = memory.GlobalAlloc(objectMemoryFlags, sizeof(OverlayObject));
  if (block == nullptr) return errNoMemory;
  auto* object = static_cast<OverlayObject*>(memory.GlobalLock(block));
  if (object == nullptr) {
    memory.GlobalFree(block);
    return errNoMemory;
  }
  *slot = object;

  object->size = overlayObjectHeaderSize;
  object->close = closeOverlay;
  object->show = show;
  object->hide = hide;
  object->showSurface = showSurface;
  object->hideSurface = hideSurface;
  object->getDescriptor = getDescriptor;
  object->configure = configure;
  object->reservedOp1 = reservedOp1;
  object->setWindow = setWindow;
  object->lock = lock;
  object->unlock = unlock;
  object->readRect = readRect;
  object->writeRect = writeRect;
  object->reservedOp2 = reservedOp2;

  object->sharedBuffer = memory.GlobalAlloc(objectMemoryFlags, sharedBufferSize);
  object->sharedBufferAddress = object->sharedBuffer != nullptr ? memory.GlobalLock(object->sharedBuffer) : nullptr;
  if (object->sharedBufferAddress == nullptr) {
    if (object->sharedBuffer != nullptr) memory.GlobalFree(object->sharedBuffer);
    freeBlock(block);
    return errNoMemory;
  }
  object->surfacesOffset = 0;

  capabilityDefaults(&d->caps);
  s.overlayShown = 0;
  s.surfaceShown = 0;
  s.lastConfigureOk = 0;

  const bool hadDirectDraw = s.directDraw != nullptr;
  const LONG rc = configure(object, d);
  if (rc != resultOk) {
    // Whatever DirectDraw objects this configure made for the object go with
    // it, so that the next open can make its own: its surfaces, and the
    // DirectDraw object with its primary surface when it made that too (a
    // refusal after the object was made would otherwise keep them for ever).
    if (object->surfacesOffset != 0 || !hadDirectDraw) releaseDirectDraw();
    freeBlock(object->sharedBuffer);
    freeBlock(block);
    return rc;
  }
  s.objectBlock = block;
  s.objectAddress = object;
  ++s.openObjects;
  return resultOk;
}

LONG WINAPI closeOverlay(OverlayObject* object) {
  DriverState& s = driverState;
  if (object == nullptr) return errNullArgument;
  // Only the open object is closed; a second close of it, or a close of any
  // other address, changes nothing.
  if (s.openObjects == 0 || object != s.objectAddress) return resultOk;
  // The capture engine stores video for as long as it runs: into the overlay
  // memory, or in the in-place mode into the screen.  Stop it before that
  // memory is given back, so it never writes where the driver has no surface.
  if (s.overlayShown != 0) {
    setOverlayControl(0, controlEnable);
    s.overlayShown = 0;
  }
  if (object->surfacesOffset != 0) {
    releaseDirectDraw();
    object->surfacesOffset = 0;
  }
  if (object->sharedBuffer != nullptr) {
    freeBlock(object->sharedBuffer);
    object->sharedBuffer = nullptr;
  }
  --s.openObjects;
  return resultOk;
}

LONG WINAPI show(OverlayObject* object) {
  DriverState& s = driverState;
  if (object == nullptr) return errNullArgument;
  if (s.openObjects == 0) return errInvalidState;
  if (s.inPlaceMode != 0 && s.surfaceShown != 0) {
    BYTE status = 0;
    withOverlayRegs([&] { status = readGraphicsReg(graphicsStatusReg); });
    if ((status & 1) == 0) updateVisible(object);
  }
  setOverlayControl(controlEnable, controlEnable);
  s.overlayShown = 1;
  return resultOk;
}

LONG WINAPI hide(OverlayObject* object) {
  DriverState& s = driverState;
  if (object == nullptr) return errNullArgument;
  if (s.openObjects == 0) return errInvalidState;
  setOverlayControl(0, controlEnable);
  s.overlayShown = 0;
  return resultOk;
}

LONG WINAPI showSurface(OverlayObject* object) {
  DriverState& s = driverState;
  if (object == nullptr) return errNullArgument;
  if (s.openObjects == 0) return errInvalidState;
  updateVisible(object);
  if (s.inPlaceMode != 0 && s.overlayShown != 0) setOverlayControl(controlEnable, controlEnable);
  s.surfaceShown = 1;
  if (s.pendingNotice != 0) deliverNotice(object);
  return resultOk;
}

LONG WINAPI hideSurface(OverlayObject* object) {
  DriverState& s = driverState;
  if (object == nullptr) return errNullArgument;
  if (s.openObjects == 0) return errInvalidState;
  if (object->surfacesOffset != 0 && s.createFailure == 0) {
    s.surfaceShown = 0;
    const OverlayWindow& w = object->storedDescriptor.window;
    const HRESULT r = updateOverlay(&w.destRect, &w.displayRect, s.colorKey, overlayHiddenMode);
    if (isDirectDrawError(r, errorNumberSurfaceLost) && recoverSurfaces(object) == resultOk)
      updateOverlay(&w.destRect, &w.displayRect, s.colorKey, overlayHiddenMode);
  }
  if (s.pendingNotice != 0) deliverNotice(object);
  return resultOk;
}

LONG WINAPI getDescriptor(OverlayObject* object, OverlayDescriptor* out) {
  if (object == nullptr || out == nullptr) return errNullArgument;
  std::memmove(out, &object->storedDescriptor, sizeof(OverlayDescriptor));
  return resultOk;
}

LONG WINAPI reservedOp1(OverlayObject* object, DWORD a, DWORD) {
  if (object == nullptr || a == 0) return errNullArgument;
  return (object->storedDescriptor.ownerWindow & 0xFFFF) != 0 ? errWindowedRefused : errNotImplemented;
}

LONG WINAPI reservedOp2(OverlayObject*, DWORD) { return errNotImplemented; }

LONG WINAPI lock(OverlayObject* object, SurfaceAccess* access) {
  DriverState& s = driverState;
  if (object == nullptr || access == nullptr) return errNullArgument;
  const DWORD f = object->storedDescriptor.caps.capFlags;
  if ((f & capDriverGeometry) != 0) return errLocked;
  if ((f & capHostGeometry) == 0 || (access->requestFlags & accessRequestBit) == 0) return resultOk;
  if (object->lockCount != 0) return errLocked;
  if (s.inPlaceMode != 0) {
    // The surface stays locked until unlock.  A lock DirectDraw refuses gives
    // no address to hand on.
    platform::DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    if (s.overlaySurface == nullptr || s.overlaySurface->Lock(nullptr, &desc, 0, nullptr) != platform::DD_OK)
      return errLocked;
    access->pitch = s.overlayPitch;
    access->memory = static_cast<BYTE*>(desc.lpSurface);
    const auto address = reinterpret_cast<std::uintptr_t>(desc.lpSurface);
    const auto screen = reinterpret_cast<std::uintptr_t>(s.primaryBits);
    const std::uintptr_t screenBytes = static_cast<std::uintptr_t>(static_cast<DWORD>(s.bytesPerPixel)) *
                                       s.screenWidth * s.screenHeight;
    if (s.primaryBits != nullptr && address >= screen && address < screen + screenBytes)
      access->pitch = static_cast<LONG>(s.screenWidth) * s.bytesPerPixel;
  } else {
    access->pitch = s.overlayPitch;
    access->memory = s.overlayBits;
  }
  ++object->lockCount;
  return resultOk;
}

LONG WINAPI unlock(OverlayObject* object) {
  DriverState& s = driverState;
  if (object == nullptr) return errNullArgument;
  if (object->lockCount == 0) return resultOk;
  if (s.inPlaceMode != 0 && s.overlaySurface != nullptr) s.overlaySurface->Unlock(nullptr);
  --object->lockCount;
  return resultOk;
}

LONG WINAPI readRect(OverlayObject* object, SurfaceAccess* access, RECT* surfaceRect, BYTE* buffer, LONG pitch,
                     RECT* hostRect) {
  return copyRect(Direction::toHost, object, access, surfaceRect, buffer, pitch, hostRect);
}

LONG WINAPI writeRect(OverlayObject* object, BYTE* buffer, LONG pitch, RECT* hostRect, SurfaceAccess* access,
                      RECT* surfaceRect) {
  return copyRect(Direction::toSurface, object, access, surfaceRect, buffer, pitch, hostRect);
}

}  // namespace ovlport
