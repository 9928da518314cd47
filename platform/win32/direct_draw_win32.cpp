// The seam's DirectDraw records are translated field by field into the
// platform's own, so that both may differ in size on 64-bit builds.  The
// platform header comes after the seam's, whose names it would otherwise
// replace with its macros.
#include "win32/direct_draw_win32.h"

#include <iterator>
#include <new>

// Flags and result codes pass between the driver and DirectDraw unchanged,
// so the seam's values must be the platform's: taken here before the
// platform's macros hide them, compared after.  The names, once:
#define SEAM_NAMES(X) \
  X(DDSD_CAPS) \
  X(DDSD_HEIGHT) \
  X(DDSD_WIDTH) \
  X(DDSD_PITCH) \
  X(DDSD_PIXELFORMAT) \
  X(DDSD_LPSURFACE) \
  X(DDSCAPS_OVERLAY) \
  X(DDSCAPS_PRIMARYSURFACE) \
  X(DDSCAPS_VIDEOMEMORY) \
  X(DDSCAPS_LIVEVIDEO) \
  X(DDSCAPS_HWCODEC) \
  X(DDPF_FOURCC) \
  X(DDPF_PALETTEINDEXED8) \
  X(DDPF_RGB) \
  X(DDSCL_NORMAL) \
  X(DDCKEY_DESTOVERLAY) \
  X(DDOVER_HIDE) \
  X(DDOVER_KEYDEST) \
  X(DDOVER_KEYDESTOVERRIDE) \
  X(DDOVER_SHOW) \
  X(DDOVER_DDFX) \
  X(DD_OK) \
  X(DDERR_ALREADYINITIALIZED) \
  X(DDERR_NOCOOPERATIVELEVELSET) \
  X(DDERR_INVALIDCAPS) \
  X(DDERR_INVALIDOBJECT) \
  X(DDERR_INVALIDPIXELFORMAT) \
  X(DDERR_OUTOFVIDEOMEMORY) \
  X(DDERR_SURFACEBUSY) \
  X(DDERR_SURFACELOST) \
  X(DDERR_PRIMARYSURFACEALREADYEXISTS) \
  X(DDERR_NOTLOCKED) \
  X(DDERR_WRONGMODE) \
  X(DDERR_INVALIDPARAMS) \
  X(DDERR_OUTOFMEMORY)

#define SEAM_VALUE(name) static_cast<long long>(platform::name),
namespace {
constexpr long long seamValues[] = {SEAM_NAMES(SEAM_VALUE)};
}  // namespace
#undef SEAM_VALUE

#include <ddraw.h>

// Expanded again here, each name is now the platform's macro.
#define PLATFORM_VALUE(name) static_cast<long long>(name),
namespace {
constexpr long long platformValues[] = {SEAM_NAMES(PLATFORM_VALUE)};
#undef PLATFORM_VALUE
static_assert(std::size(seamValues) == std::size(platformValues));
// The index of the first value that differs, or the number of values.
constexpr std::size_t firstDifference() {
  std::size_t i = 0;
  while (i < std::size(seamValues) && seamValues[i] == platformValues[i]) ++i;
  return i;
}
static_assert(firstDifference() == std::size(seamValues),
              "a DirectDraw flag or result code of the seam differs from the platform's");
}  // namespace
#undef SEAM_NAMES

// On the 32-bit target the seam's records are the platform's, byte for byte.
#ifndef _WIN64
static_assert(sizeof(platform::DDSURFACEDESC) == sizeof(::DDSURFACEDESC));
static_assert(offsetof(platform::DDSURFACEDESC, ddckCKDestOverlay) == offsetof(::DDSURFACEDESC, ddckCKDestOverlay));
static_assert(offsetof(platform::DDSURFACEDESC, ddpfPixelFormat) == offsetof(::DDSURFACEDESC, ddpfPixelFormat));
static_assert(sizeof(platform::DDOVERLAYFX) == sizeof(::DDOVERLAYFX));
static_assert(offsetof(platform::DDOVERLAYFX, dckDestColorkey) == offsetof(::DDOVERLAYFX, dckDestColorkey));
#endif

namespace platform {

namespace {

void toPlatform(const platform::DDPIXELFORMAT& in, ::DDPIXELFORMAT& out) {
  out.dwSize = sizeof(::DDPIXELFORMAT);
  out.dwFlags = in.dwFlags;
  out.dwFourCC = in.dwFourCC;
  out.dwRGBBitCount = in.dwRGBBitCount;
  out.dwRBitMask = in.dwRBitMask;
  out.dwGBitMask = in.dwGBitMask;
  out.dwBBitMask = in.dwBBitMask;
  out.dwRGBAlphaBitMask = in.dwRGBAlphaBitMask;
}

void fromPlatform(const ::DDPIXELFORMAT& in, platform::DDPIXELFORMAT& out) {
  out.dwFlags = in.dwFlags;
  out.dwFourCC = in.dwFourCC;
  out.dwRGBBitCount = in.dwRGBBitCount;
  out.dwRBitMask = in.dwRBitMask;
  out.dwGBitMask = in.dwGBitMask;
  out.dwBBitMask = in.dwBBitMask;
  out.dwRGBAlphaBitMask = in.dwRGBAlphaBitMask;
}

void toPlatform(const platform::DDCOLORKEY& in, ::DDCOLORKEY& out) {
  out.dwColorSpaceLowValue = in.dwColorSpaceLowValue;
  out.dwColorSpaceHighValue = in.dwColorSpaceHighValue;
}

void fromPlatform(const ::DDCOLORKEY& in, platform::DDCOLORKEY& out) {
  out.dwColorSpaceLowValue = in.dwColorSpaceLowValue;
  out.dwColorSpaceHighValue = in.dwColorSpaceHighValue;
}

void toPlatform(const platform::DDSURFACEDESC& in, ::DDSURFACEDESC& out) {
  out = {};
  out.dwSize = sizeof(::DDSURFACEDESC);
  out.dwFlags = in.dwFlags;
  out.dwHeight = in.dwHeight;
  out.dwWidth = in.dwWidth;
  out.lPitch = in.lPitch;
  out.dwBackBufferCount = in.dwBackBufferCount;
  out.dwRefreshRate = in.dwRefreshRate;
  out.dwAlphaBitDepth = in.dwAlphaBitDepth;
  out.lpSurface = in.lpSurface;
  toPlatform(in.ddckCKDestOverlay, out.ddckCKDestOverlay);
  toPlatform(in.ddckCKDestBlt, out.ddckCKDestBlt);
  toPlatform(in.ddckCKSrcOverlay, out.ddckCKSrcOverlay);
  toPlatform(in.ddckCKSrcBlt, out.ddckCKSrcBlt);
  toPlatform(in.ddpfPixelFormat, out.ddpfPixelFormat);
  out.ddsCaps.dwCaps = in.ddsCaps.dwCaps;
}

void fromPlatform(const ::DDSURFACEDESC& in, platform::DDSURFACEDESC& out) {
  out.dwFlags = in.dwFlags;
  out.dwHeight = in.dwHeight;
  out.dwWidth = in.dwWidth;
  out.lPitch = in.lPitch;
  out.dwBackBufferCount = in.dwBackBufferCount;
  out.dwRefreshRate = in.dwRefreshRate;
  out.dwAlphaBitDepth = in.dwAlphaBitDepth;
  out.lpSurface = in.lpSurface;
  // The keys the flags report (DDSD_CK...) come back with them.
  fromPlatform(in.ddckCKDestOverlay, out.ddckCKDestOverlay);
  fromPlatform(in.ddckCKDestBlt, out.ddckCKDestBlt);
  fromPlatform(in.ddckCKSrcOverlay, out.ddckCKSrcOverlay);
  fromPlatform(in.ddckCKSrcBlt, out.ddckCKSrcBlt);
  fromPlatform(in.ddpfPixelFormat, out.ddpfPixelFormat);
  out.ddsCaps.dwCaps = in.ddsCaps.dwCaps;
}

class Surface final : public IDirectDrawSurface {
 public:
  explicit Surface(::IDirectDrawSurface* surface) : surface_(surface) {}

  HRESULT GetSurfaceDesc(platform::DDSURFACEDESC* desc) override {
    if (desc == nullptr) return surface_->GetSurfaceDesc(nullptr);
    ::DDSURFACEDESC real;
    toPlatform(*desc, real);
    const HRESULT result = surface_->GetSurfaceDesc(&real);
    if (result == DD_OK) fromPlatform(real, *desc);
    return result;
  }

  HRESULT Lock(RECT* rect, platform::DDSURFACEDESC* desc, DWORD flags, HANDLE event) override {
    if (desc == nullptr) return surface_->Lock(rect, nullptr, flags, event);
    ::DDSURFACEDESC real;
    toPlatform(*desc, real);
    const HRESULT result = surface_->Lock(rect, &real, flags, event);
    if (result == DD_OK) fromPlatform(real, *desc);
    return result;
  }

  HRESULT Unlock(void* rect) override { return surface_->Unlock(rect); }

  HRESULT SetColorKey(DWORD flags, platform::DDCOLORKEY* key) override {
    if (key == nullptr) return surface_->SetColorKey(flags, nullptr);
    ::DDCOLORKEY real;
    toPlatform(*key, real);
    return surface_->SetColorKey(flags, &real);
  }

  HRESULT UpdateOverlay(RECT* sourceRect, IDirectDrawSurface* destSurface, RECT* destRect, DWORD flags,
                        platform::DDOVERLAYFX* fx) override {
    ::IDirectDrawSurface* dest = destSurface != nullptr ? static_cast<Surface*>(destSurface)->surface_ : nullptr;
    if (fx == nullptr) return surface_->UpdateOverlay(sourceRect, dest, destRect, flags, nullptr);
    ::DDOVERLAYFX real = {};
    real.dwSize = sizeof(::DDOVERLAYFX);
    real.dwAlphaEdgeBlendBitDepth = fx->dwAlphaEdgeBlendBitDepth;
    real.dwAlphaEdgeBlend = fx->dwAlphaEdgeBlend;
    real.dwAlphaDestConstBitDepth = fx->dwAlphaDestConstBitDepth;
    real.dwAlphaDestConst = fx->dwAlphaDestConst;
    real.dwAlphaSrcConstBitDepth = fx->dwAlphaSrcConstBitDepth;
    real.dwAlphaSrcConst = fx->dwAlphaSrcConst;
    toPlatform(fx->dckDestColorkey, real.dckDestColorkey);
    toPlatform(fx->dckSrcColorkey, real.dckSrcColorkey);
    real.dwDDFX = fx->dwDDFX;
    real.dwFlags = fx->dwFlags;
    return surface_->UpdateOverlay(sourceRect, dest, destRect, flags, &real);
  }

  HRESULT Restore() override { return surface_->Restore(); }

  ULONG Release() override {
    const ULONG count = surface_->Release();
    delete this;
    return count;
  }

 private:
  ::IDirectDrawSurface* surface_;
};

class Object final : public IDirectDraw {
 public:
  explicit Object(::IDirectDraw* directDraw) : directDraw_(directDraw) {}

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    return directDraw_->SetCooperativeLevel(window, flags);
  }

  HRESULT CreateSurface(platform::DDSURFACEDESC* desc, IDirectDrawSurface** surface, void* outer) override {
    if (desc == nullptr || surface == nullptr) return DDERR_INVALIDPARAMS;
    *surface = nullptr;
    ::DDSURFACEDESC real;
    toPlatform(*desc, real);
    ::IDirectDrawSurface* created = nullptr;
    const HRESULT result = directDraw_->CreateSurface(&real, &created, static_cast<IUnknown*>(outer));
    if (result != DD_OK) return result;
    auto* wrapper = new (std::nothrow) Surface(created);
    if (wrapper == nullptr) {
      created->Release();
      return DDERR_OUTOFMEMORY;
    }
    *surface = wrapper;
    return DD_OK;
  }

  ULONG Release() override {
    const ULONG count = directDraw_->Release();
    delete this;
    return count;
  }

 private:
  ::IDirectDraw* directDraw_;
};

}  // namespace

HRESULT Win32DirectDraw::DirectDrawCreate(GUID* device, IDirectDraw** directDraw, void* outer) {
  if (directDraw == nullptr) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  ::IDirectDraw* created = nullptr;
  const HRESULT result = ::DirectDrawCreate(device, &created, static_cast<IUnknown*>(outer));
  if (result != DD_OK) return result;
  auto* wrapper = new (std::nothrow) Object(created);
  if (wrapper == nullptr) {
    created->Release();
    return DDERR_OUTOFMEMORY;
  }
  *directDraw = wrapper;
  return DD_OK;
}

HGLOBAL Win32GlobalMemory::GlobalAlloc(UINT flags, SIZE_T bytes) { return ::GlobalAlloc(flags, bytes); }
void* Win32GlobalMemory::GlobalLock(HGLOBAL block) { return ::GlobalLock(block); }
BOOL Win32GlobalMemory::GlobalUnlock(HGLOBAL block) { return ::GlobalUnlock(block); }
HGLOBAL Win32GlobalMemory::GlobalFree(HGLOBAL block) { return ::GlobalFree(block); }

}  // namespace platform
