// DirectDraw as the overlay driver reaches it: the DirectDraw object, its
// surfaces, the records the driver fills and DirectDraw's result codes.
//
// The interfaces carry exactly the methods the driver calls, with the
// platform's arguments and results.  The records keep the platform's field
// names and order; on the 32-bit Windows target they have the platform's
// sizes (a surface description is 108 bytes, overlay effects 56).
#pragma once

#include <cstddef>

#include "platform/win32_api.h"

namespace platform {

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  DWORD dwRGBBitCount;
  DWORD dwRBitMask;
  DWORD dwGBitMask;
  DWORD dwBBitMask;
  DWORD dwRGBAlphaBitMask;
};

struct DDSCAPS {
  DWORD dwCaps;
};

struct DDSURFACEDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  LONG lPitch;
  DWORD dwBackBufferCount;
  DWORD dwRefreshRate;
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  void* lpSurface;
  DDCOLORKEY ddckCKDestOverlay;
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS ddsCaps;
};

struct DDOVERLAYFX {
  DWORD dwSize;
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  DWORD dwAlphaDestConst;
  DWORD dwAlphaSrcConstBitDepth;
  DWORD dwAlphaSrcConst;
  DDCOLORKEY dckDestColorkey;
  DDCOLORKEY dckSrcColorkey;
  DWORD dwDDFX;
  DWORD dwFlags;
};

static_assert(sizeof(DDPIXELFORMAT) == 32);
static_assert(sizeof(DDOVERLAYFX) == 56);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(DDSURFACEDESC, lpSurface) == 36);
static_assert(sizeof(DDSURFACEDESC) == 108);
static_assert(offsetof(DDSURFACEDESC, ddpfPixelFormat) == 72);
static_assert(offsetof(DDSURFACEDESC, ddsCaps) == 104);
#endif

// Surface description flags.
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_LPSURFACE = 0x800;

// Surface capabilities.
constexpr DWORD DDSCAPS_OVERLAY = 0x80;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_LIVEVIDEO = 0x80000;
constexpr DWORD DDSCAPS_HWCODEC = 0x100000;

// Pixel format flags.
constexpr DWORD DDPF_FOURCC = 0x4;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;

constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDCKEY_DESTOVERLAY = 0x4;

// UpdateOverlay flags.
constexpr DWORD DDOVER_HIDE = 0x200;
constexpr DWORD DDOVER_KEYDEST = 0x400;
constexpr DWORD DDOVER_KEYDESTOVERRIDE = 0x800;
constexpr DWORD DDOVER_SHOW = 0x4000;
constexpr DWORD DDOVER_DDFX = 0x80000;

// Result codes: DirectDraw's facility 0x876 with the error number in the low
// bits.
constexpr HRESULT DD_OK = 0;
constexpr HRESULT ddError(DWORD number) { return static_cast<HRESULT>(0x88760000u | number); }
constexpr HRESULT DDERR_ALREADYINITIALIZED = ddError(5);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = ddError(212);
constexpr HRESULT DDERR_INVALIDCAPS = ddError(100);
constexpr HRESULT DDERR_INVALIDOBJECT = ddError(130);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = ddError(145);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = ddError(380);
constexpr HRESULT DDERR_SURFACEBUSY = ddError(430);
constexpr HRESULT DDERR_SURFACELOST = ddError(450);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = ddError(564);
constexpr HRESULT DDERR_NOTLOCKED = ddError(584);
constexpr HRESULT DDERR_WRONGMODE = ddError(587);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

class IDirectDrawSurface {
 public:
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC* desc) = 0;
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC* desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT Unlock(void* rect) = 0;
  virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
  virtual HRESULT UpdateOverlay(RECT* sourceRect, IDirectDrawSurface* destSurface, RECT* destRect, DWORD flags,
                                DDOVERLAYFX* fx) = 0;
  virtual HRESULT Restore() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectDrawSurface() = default;
};

class IDirectDraw {
 public:
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT CreateSurface(DDSURFACEDESC* desc, IDirectDrawSurface** surface, void* outer) = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectDraw() = default;
};

// The library's entry: makes the DirectDraw object of a display device.
class DirectDrawApi {
 public:
  virtual ~DirectDrawApi() = default;
  virtual HRESULT DirectDrawCreate(GUID* device, IDirectDraw** directDraw, void* outer) = 0;
};

}  // namespace platform
