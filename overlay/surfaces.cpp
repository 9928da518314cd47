#include "overlay/surfaces.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "overlay/driver_state.h"

namespace ovlport {

using namespace platform;

namespace {

constexpr DWORD fourCcRgb555 = 0x35353520;  // " 555"
constexpr DWORD overlayCaps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LIVEVIDEO;
// YUY2 black: luma 0 with neutral chroma, two pixels in the four bytes of one
// 32-bit value 0x80008000.
constexpr std::array<BYTE, 4> yuy2Black = {0x00, 0x80, 0x00, 0x80};

DWORD errorWord(HRESULT error) { return static_cast<DWORD>(error) << 22; }

HWND windowHandle(DWORD window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }

void setPixelFormat(DDPIXELFORMAT& format, DWORD formatCode) {
  format.dwSize = sizeof(DDPIXELFORMAT);
  if (formatCode == fourCcRgb565 || formatCode == fourCcRgb555) {
    format.dwFlags = DDPF_RGB;
    format.dwRGBBitCount = 16;
    format.dwRBitMask = formatCode == fourCcRgb565 ? 0xF800 : 0x7C00;
    format.dwGBitMask = formatCode == fourCcRgb565 ? 0x07E0 : 0x03E0;
    format.dwBBitMask = 0x001F;
  } else {
    format.dwFlags = DDPF_FOURCC;
    format.dwFourCC = formatCode;
  }
}

// Stores YUY2 black over lineBytes (a multiple of 4) of each of the lines.
// 32 bytes a store where the processor has them: the clear of a new surface
// then runs at the speed of the C library's fill.
#if defined(__linux__) && defined(__x86_64__)
__attribute__((target_clones("avx2", "default")))
#endif
void fillYuy2Lines(BYTE* bits, std::size_t lineBytes, DWORD height, std::size_t linePitch) {
  using Store32 = std::uint32_t __attribute__((vector_size(32)));
  std::uint32_t value;
  std::memcpy(&value, yuy2Black.data(), sizeof value);
  const Store32 eight = {value, value, value, value, value, value, value, value};
  for (DWORD line = 0; line < height; ++line) {
    BYTE* p = bits + line * linePitch;
    std::size_t i = 0;
    for (; i + 4 * sizeof eight <= lineBytes; i += 4 * sizeof eight) {
      std::memcpy(p + i, &eight, sizeof eight);
      std::memcpy(p + i + 32, &eight, sizeof eight);
      std::memcpy(p + i + 64, &eight, sizeof eight);
      std::memcpy(p + i + 96, &eight, sizeof eight);
    }
    for (; i + sizeof eight <= lineBytes; i += sizeof eight) std::memcpy(p + i, &eight, sizeof eight);
    for (; i < lineBytes; i += sizeof value) std::memcpy(p + i, &value, sizeof value);
  }
}

}  // namespace

void clearOverlayMemory(BYTE* bits, DWORD width, DWORD height, LONG pitch, DWORD formatCode) {
  if (pitch <= 0) return;
  const std::size_t linePitch = static_cast<std::size_t>(pitch);
  if (formatCode != fourCcYuy2) {
    std::memset(bits, 0, height * linePitch);
    return;
  }
  // One 32-bit value per two pixels: ceil(width / 2) values a line, never
  // more than the line holds.
  const std::size_t lineBytes =
      std::min((static_cast<std::size_t>(width) + 1) / 2 * yuy2Black.size(), linePitch / 4 * 4);
  fillYuy2Lines(bits, lineBytes, height, linePitch);
}

DWORD createSurfaces(DWORD window, LONG width, LONG height, DWORD formatCode, DWORD key) {
  DriverState& s = driverState;
  if (s.overlaySurface != nullptr) return creationOverlayExists;

  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  if (s.primarySurface == nullptr) {
    if (s.directDraw == nullptr) return creationNoDirectDraw;
    HRESULT r = s.directDraw->SetCooperativeLevel(windowHandle(window), DDSCL_NORMAL);
    if (r != DD_OK) return errorWord(r);
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    r = s.directDraw->CreateSurface(&desc, &s.primarySurface, nullptr);
    if (r != DD_OK) {
      s.primarySurface = nullptr;
      return errorWord(r);
    }
    s.primaryBits = nullptr;
    r = s.primarySurface->GetSurfaceDesc(&desc);
    if (r != DD_OK) return errorWord(r);
    if ((desc.ddpfPixelFormat.dwFlags & DDPF_RGB) == 0) return 0;
  }
  if (s.directDraw == nullptr) return creationNoDirectDraw;
  // The screen memory's address, from a lock of the primary.  A primary whose
  // lock failed (or that was never locked) is locked again here, so that no
  // offset is ever taken from an address a failed lock gave.
  if (s.primaryBits == nullptr) {
    const HRESULT r = s.primarySurface->Lock(nullptr, &desc, 0, nullptr);
    if (r != DD_OK) return errorWord(r);
    s.primaryBits = static_cast<BYTE*>(desc.lpSurface);
    s.primarySurface->Unlock(nullptr);
  }

  s.appliedKey = key;
  DDCOLORKEY colorKey{key & 0xFFFFFF, key & 0xFFFFFF};
  s.primarySurface->SetColorKey(DDCKEY_DESTOVERLAY, &colorKey);

  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = overlayCaps | (s.inPlaceMode != 0 ? DDSCAPS_HWCODEC : 0);
  desc.ddpfPixelFormat = {};
  setPixelFormat(desc.ddpfPixelFormat, formatCode);
  desc.dwHeight = static_cast<DWORD>(height);
  desc.dwWidth = static_cast<DWORD>(width);
  HRESULT r = s.directDraw->CreateSurface(&desc, &s.overlaySurface, nullptr);
  if (r != DD_OK) {
    s.overlaySurface = nullptr;
    return errorWord(r);
  }

  s.overlaySurface->GetSurfaceDesc(&desc);
  s.overlayPitch = desc.lPitch;
  desc.lpSurface = nullptr;
  r = s.overlaySurface->Lock(nullptr, &desc, 0, nullptr);
  if (r != DD_OK) {
    // No address to clear or to report: the creation fails, and the overlay
    // surface goes, so that the next creation can make it again.
    s.overlaySurface->Release();
    s.overlaySurface = nullptr;
    return errorWord(r);
  }
  s.overlayBits = static_cast<BYTE*>(desc.lpSurface);
  if (s.clearSurface != 0) clearOverlayMemory(s.overlayBits, desc.dwWidth, desc.dwHeight, desc.lPitch, formatCode);
  s.overlaySurface->Unlock(nullptr);

  return static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(s.overlayBits) -
                            reinterpret_cast<std::uintptr_t>(s.primaryBits));
}

HRESULT updateOverlay(const RECT* destination, const RECT* source, DWORD key, DWORD mode) {
  DriverState& s = driverState;
  if (s.primarySurface == nullptr || s.overlaySurface == nullptr) return DDERR_INVALIDOBJECT;
  const DWORD base = mode == overlayShownMode ? DDOVER_SHOW : DDOVER_HIDE;
  DWORD flags = base;
  DDOVERLAYFX effects{};
  DDOVERLAYFX* fx = nullptr;
  if ((key & 0xFF000000) != 0) {
    // No key, or a key that recovery suspended: no colour keying.
  } else if (key != s.appliedKey) {
    flags = base | DDOVER_KEYDESTOVERRIDE | DDOVER_DDFX;
    effects.dwSize = sizeof effects;
    effects.dckDestColorkey = {key, key};
    fx = &effects;
    s.appliedKey = key;
  } else {
    flags = base | DDOVER_KEYDEST;
  }
  RECT src = *source;
  RECT dest = *destination;
  return s.overlaySurface->UpdateOverlay(&src, s.primarySurface, &dest, flags, fx);
}

HRESULT restoreSurfaces() {
  DriverState& s = driverState;
  if (s.primarySurface == nullptr || s.overlaySurface == nullptr) return DDERR_INVALIDOBJECT;
  const HRESULT r = s.primarySurface->Restore();
  if (r != DD_OK) return r;
  return s.overlaySurface->Restore();
}

}  // namespace ovlport
