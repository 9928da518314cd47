#include "overlay/configure.h"

#include <cstdint>
#include <cstring>

#include "overlay/color_key.h"
#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"
#include "overlay/overlay_regs.h"
#include "overlay/surfaces.h"

namespace ovlport {

namespace {

// A pass of placement that keeps meeting lost surfaces gives up after this
// many passes rather than loop for ever.
constexpr int maxPlacementPasses = 8;

constexpr LONG asSigned(DWORD value) { return static_cast<LONG>(value); }

// a x b / c with a 32-bit signed product and a division truncated toward
// zero; a division by zero gives 0 and the one overflowing quotient wraps.
LONG scaled(LONG a, LONG b, LONG c) {
  const LONG product = asSigned(static_cast<DWORD>(static_cast<std::int64_t>(a) * b));
  if (c == 0) return 0;
  return asSigned(static_cast<DWORD>(static_cast<std::int64_t>(product) / c));
}

// Whether an image size is a whole number of eighths, quarters or halves of
// the capture size, as the generation-3 engine can reduce it.
bool reducibleOnGeneration3(DWORD captureSize, DWORD imageSize) {
  if (imageSize == captureSize) return true;
  DWORD unit = 0;
  if (captureSize % 8 == 0)
    unit = captureSize / 8;
  else if (captureSize % 4 == 0)
    unit = captureSize / 4;
  else if (captureSize % 2 == 0)
    unit = captureSize / 2;
  else
    return false;  // an odd capture size cannot be reduced
  return unit != 0 && imageSize != 0 && imageSize % unit == 0;
}

}  // namespace

LONG validateWindow(const OverlayWindow* w) {
  const DriverState& s = driverState;
  if (w->frameWidth > maxFrameSize || w->frameHeight > maxFrameSize) return errGeometry;
  if (w->captureRect.right > w->frameWidth || w->captureRect.bottom > w->frameHeight) return errGeometry;
  if (w->imageRect.right > w->surfaceSize.width || w->imageRect.bottom > w->surfaceSize.height) return errGeometry;
  if (w->displayRect.right > w->surfaceSize.width || w->displayRect.bottom > w->surfaceSize.height)
    return errGeometry;
  if (rectWidth(w->displayRect) > rectWidth(w->destRect) || rectHeight(w->destRect) < rectHeight(w->displayRect))
    return errGeometry;
  if (rectWidth(w->imageRect) > rectWidth(w->captureRect) || rectHeight(w->imageRect) > rectHeight(w->captureRect))
    return errGeometry;
  if (s.inPlaceMode != 0 && !sameRect(w->displayRect, w->imageRect)) return errGeometry;
  if (s.controllerGeneration == 3) {
    if (!reducibleOnGeneration3(rectWidth(w->captureRect), rectWidth(w->imageRect))) return errGeometry;
    if (!reducibleOnGeneration3(rectHeight(w->captureRect), rectHeight(w->imageRect))) return errGeometry;
  }
  return resultOk;
}

void defaultGeometry(OverlayWindow* w) {
  const DWORD cw = rectWidth(w->captureRect), ch = rectHeight(w->captureRect);
  const DWORD dw = rectWidth(w->destRect), dh = rectHeight(w->destRect);
  DWORD width = 0, height = 0;
  if (driverState.controllerGeneration == 3) {
    width = cw;
    if (dw < cw) {
      width = dw;
      if (cw % 2 != 0) w->captureRect.right = asSigned(static_cast<DWORD>(w->captureRect.left) + (cw & ~DWORD{3}));
    }
    height = ch;
    while (dh < height) height >>= 1;
  } else {
    width = cw < dw ? cw : dw;
    height = ch < dh ? ch : dh;
  }
  w->imageRect = {0, 0, asSigned(width), asSigned(height)};
  w->zeroedByDefault[0] = 0;
  w->zeroedByDefault[1] = 0;
  w->surfaceSize.width = asSigned((width + 7) & ~DWORD{7});
  w->surfaceSize.height = asSigned(height);
  w->displayRect = {0, 0, asSigned(width), asSigned(height)};
}

DWORD inPlaceBase(LONG left, LONG bytesPerPixel) {
  const DWORD step = static_cast<DWORD>(bytesPerPixel);
  DWORD base = static_cast<DWORD>(left) * step;
  if (step == 0) return base;
  while (base % 4 != 0) base += step;
  return base;
}

void pointEngineAtMemory() {
  const DriverState& s = driverState;
  if (s.inPlaceMode != 0) {
    setBufferStart(inPlaceBase(s.visibleRect.left, s.bytesPerPixel), 0, static_cast<WORD>(s.visibleRect.top),
                   static_cast<WORD>(static_cast<DWORD>(s.bytesPerPixel) * s.screenWidth));
  } else {
    setBufferStart(s.overlayOffset, static_cast<WORD>(s.sourceRect.left), static_cast<WORD>(s.sourceRect.top),
                   static_cast<WORD>(s.overlayPitch));
  }
}

LONG updateVisible(OverlayObject* object) {
  DriverState& s = driverState;
  if (object->surfacesOffset == 0) return resultOk;
  HRESULT r = updateOverlay(&s.visibleRect, &s.overlaySourceRect, s.colorKey, overlayShownMode);
  if (isDirectDrawError(r, errorNumberSurfaceLost)) {
    if (recoverSurfaces(object) != resultOk) return errOverlayFailed;
    s.placementRetry = 1;
    r = updateOverlay(&s.visibleRect, &s.overlaySourceRect, s.colorKey, overlayShownMode);
  }
  return r < 0 ? errOverlayFailed : resultOk;
}

LONG placeWindow(OverlayObject* object, const OverlayWindow* w) {
  DriverState& s = driverState;
  for (int pass = 0;; ++pass) {
    if (pass == maxPlacementPasses) return errNoVideoMemory;
    s.placementRetry = 0;
    const RECT& capture = w->captureRect;
    setCaptureWindow(capture.left, capture.top, capture.right, asSigned(static_cast<DWORD>(capture.bottom) - 1));
    computeScale(asSigned(rectWidth(capture)), asSigned(rectHeight(capture)), asSigned(rectWidth(w->imageRect)),
                 asSigned(rectHeight(w->imageRect)));

    RECT& src = s.overlaySourceRect;
    src = w->displayRect;
    if (w->surfaceSize.width != s.surfaceWidth) {
      if (src.right > s.surfaceWidth) {
        src.left = 0;
        src.right = s.surfaceWidth;
      }
      if (src.bottom > s.surfaceHeight) {
        src.top = 0;
        src.bottom = s.surfaceHeight;
      }
    }

    // The destination clipped to the screen.
    const RECT& dest = w->destRect;
    RECT& v = s.visibleRect;
    v = dest;
    if (v.left < 0) v.left = 0;
    if (v.top < 0) v.top = 0;
    if (v.right > s.screenWidth) v.right = s.screenWidth;
    if (v.bottom > s.screenHeight) v.bottom = s.screenHeight;

    // The clipped part mapped back onto the surface.
    const LONG dw = asSigned(rectWidth(dest)), dh = asSigned(rectHeight(dest));
    const LONG sw = asSigned(rectWidth(src)), sh = asSigned(rectHeight(src));
    LONG t = asSigned(static_cast<DWORD>(v.top) - static_cast<DWORD>(dest.top));
    if (t != 0 && dh != sh) t = scaled(t, sh, dh);
    src.top = asSigned(static_cast<DWORD>(src.top) + static_cast<DWORD>(t));
    LONG l = asSigned(static_cast<DWORD>(v.left) - static_cast<DWORD>(dest.left));
    if (l != 0 && dw != sw) l = scaled(l, sw, dw);
    src.left = asSigned(static_cast<DWORD>(src.left) + static_cast<DWORD>(l));
    LONG x = asSigned(rectWidth(v));
    if (dw != sw) x = scaled(x, sw, dw);
    src.right = asSigned(static_cast<DWORD>(src.left) + static_cast<DWORD>(x));
    LONG y = asSigned(rectHeight(v));
    if (dh != sh) y = scaled(y, sh, dh);
    src.bottom = asSigned(static_cast<DWORD>(src.top) + static_cast<DWORD>(y));

    if (updateVisible(object) != resultOk) return errNoVideoMemory;
    pointEngineAtMemory();
    if (s.placementRetry == 0) return resultOk;
  }
}

LONG applyDescriptor(OverlayObject* object, OverlayDescriptor* d) {
  DriverState& s = driverState;
  if (object == nullptr || d == nullptr) return errNullArgument;
  const DWORD f = d->caps.capFlags;
  OverlayWindow* w = &d->window;
  if (d->caps.formats != formatRgb565 && d->caps.formats != formatYuy2) return errFormat;
  if (d->caps.format != d->caps.formats) return errFormatMismatch;
  if (((f & capDriverGeometry) != 0) == ((f & capHostGeometry) != 0)) return errCapabilityFlags;
  if ((f & capDriverGeometry) != 0) {
    defaultGeometry(w);
  } else {
    if (validateWindow(w) != resultOk) return errGeometry;
    if (w->surfaceSize.width > maxSurfaceWidth || w->surfaceSize.height > maxSurfaceHeight) return errGeometry;
  }
  s.configuredBytesPerPixel = static_cast<WORD>(s.bytesPerPixel);

  if (s.directDraw == nullptr) {
    s.overlayShown = 0;
    s.surfaceShown = 0;
    s.lastConfigureOk = 0;
    driverPlatform.directDrawApi->DirectDrawCreate(nullptr, &s.directDraw, nullptr);
    if (s.directDraw == nullptr) return errUnavailable;
  }

  WORD control = 0;
  if ((f & capControlPattern) != 0) control = (f & capPattern200) != 0 ? 0x80 : (f & capPattern400) != 0 ? 0xC0 : 0x40;
  if (d->caps.formats == formatRgb565) {
    s.surfaceFourCC = fourCcRgb565;
    control |= controlRgb565;
  } else {
    s.surfaceFourCC = fourCcYuy2;
  }

  if ((f & capHostKeyColor) != 0) {
    s.colorKey = d->caps.keyColor;
    if (deriveColorKey(f, d->caps.keyColor) != resultOk) return errKeyColor;
  } else {
    s.colorKey = noColorKey;
  }

  const SurfaceSize& stored = object->storedDescriptor.window.surfaceSize;
  if (w->surfaceSize.width != stored.width || w->surfaceSize.height != stored.height || s.createFailure != 0) {
    if (object->surfacesOffset != 0) {
      if (s.overlaySurface != nullptr) s.overlaySurface->Release();
      s.overlaySurface = nullptr;
      s.pendingNotice = 0;
      s.inPlaceMode = 0;
      object->surfacesOffset = 0;
    }
    s.surfaceWidth = w->surfaceSize.width;
    s.surfaceHeight = w->surfaceSize.height;
    s.sourceRect = w->imageRect;
    s.clearSurface = f & capClearSurface;
    DWORD r = createSurfaces(d->ownerWindow, s.surfaceWidth, s.surfaceHeight, s.surfaceFourCC, s.colorKey);
    s.createFailure = r;
    if (!creationSucceeded(r)) {
      s.createFailure = creationErrorNumber(r);
      if (s.createFailure != errorNumberOutOfVideoMemory) return errOverlayFailed;
      s.overlaySourceRect = w->displayRect;
      const bool inPlacePossible = s.appliedKey != 0 && s.configuredBytesPerPixel > 1 && s.inPlaceMode == 0 &&
                                   sameRect(s.sourceRect, s.overlaySourceRect);
      if (!inPlacePossible) return errNoVideoMemory;
      s.inPlaceMode = 1;
      r = createSurfaces(d->ownerWindow, s.surfaceWidth, s.surfaceHeight, s.surfaceFourCC, s.colorKey);
      s.createFailure = r;
      if (!creationSucceeded(r)) {
        s.inPlaceMode = 0;
        return errNoVideoMemory;
      }
    }
    s.overlayOffset = r;
    object->surfacesOffset = r;
    s.createFailure = 0;
  }

  std::memmove(&object->storedDescriptor, d, sizeof(OverlayDescriptor));
  presetSequencer1F();
  if ((f & capRegister0B) != 0) {
    control |= 0x30;
    setSequencer0B(d->caps.register0BSetting);
  } else {
    control |= 0x20;
  }
  s.overlayControl = static_cast<WORD>(0x1100 + control);
  if (s.overlayShown != 0) s.overlayControl |= controlEnable;
  setOverlayControl(s.overlayControl, 0xFFFF);

  if (placeWindow(object, w) != resultOk) return errOverlayFailed;
  if (s.surfaceShown == 0) updateOverlay(&w->destRect, &w->displayRect, s.colorKey, overlayHiddenMode);
  return resultOk;
}

LONG WINAPI configure(OverlayObject* object, OverlayDescriptor* d) {
  DriverState& s = driverState;
  if (object == nullptr) return errNullArgument;
  const LONG rc = applyDescriptor(object, d);
  if (rc == resultOk) {
    s.lastConfigureOk = 1;
    return resultOk;
  }
  if (rc == errOverlayFailed) {
    s.lastConfigureOk = 0;
    return errOverlayFailed;
  }
  if (s.lastConfigureOk == 0) return rc;
  // Back to the configuration that worked before; the host still learns why
  // its descriptor was refused.
  s.scratchDescriptor = object->storedDescriptor;
  if (applyDescriptor(object, &s.scratchDescriptor) != resultOk) return errOverlayFailed;
  return rc;
}

LONG WINAPI setWindow(OverlayObject* object, OverlayWindow* w) {
  DriverState& s = driverState;
  if (object == nullptr || w == nullptr) return errNullArgument;
  if ((object->storedDescriptor.caps.capFlags & capDriverGeometry) != 0) defaultGeometry(w);
  if (validateWindow(w) != resultOk) return errGeometry;
  OverlayWindow& stored = object->storedDescriptor.window;
  if (w->surfaceSize.width == stored.surfaceSize.width && w->surfaceSize.height == stored.surfaceSize.height) {
    if (s.surfaceWidth == w->surfaceSize.width) s.sourceRect = w->imageRect;
    const LONG rc = placeWindow(object, w);
    if (rc != resultOk) return rc;
    std::memmove(&stored, w, sizeof(OverlayWindow));
  } else {
    s.scratchDescriptor = object->storedDescriptor;
    s.scratchDescriptor.window = *w;
    const LONG rc = configure(object, &s.scratchDescriptor);
    if (rc != resultOk) return rc;
    if (s.overlayShown != 0) setOverlayControl(controlEnable, controlEnable);
  }
  if (s.pendingNotice != 0) deliverNotice(object);
  return resultOk;
}

}  // namespace ovlport
