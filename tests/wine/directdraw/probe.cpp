// A host of the DirectDraw seam on the platform's own DirectDraw: makes the
// object and surfaces through platform::Win32DirectDraw, sets colour keys and
// pixel formats, reads the descriptions back, locks and unlocks, and prints
// what the seam's records hold.  Used by the end-to-end test under Wine.
#include <cstdio>

#include "win32/direct_draw_win32.h"

namespace {

using namespace platform;

// Values of the platform's DirectDraw that the driver itself never uses.
constexpr DWORD keyDestBlt = 0x2;
constexpr DWORD keySrcBlt = 0x8;
constexpr DWORD capsOffscreenPlain = 0x40;
constexpr DWORD capsSystemMemory = 0x800;
constexpr DWORD descKeyDestOverlay = 0x2000;
constexpr DWORD descKeyDestBlt = 0x4000;
constexpr DWORD descKeySrcBlt = 0x10000;

unsigned long hex(HRESULT r) { return static_cast<unsigned long>(static_cast<DWORD>(r)); }

void printKey(const char* name, DWORD flags, DWORD flag, const DDCOLORKEY& key) {
  std::printf("%s: %s, %lx-%lx\n", name, (flags & flag) != 0 ? "reported" : "not reported",
              static_cast<unsigned long>(key.dwColorSpaceLowValue),
              static_cast<unsigned long>(key.dwColorSpaceHighValue));
}

}  // namespace

int main() {
  Win32DirectDraw api;
  IDirectDraw* directDraw = nullptr;
  HRESULT r = api.DirectDrawCreate(nullptr, &directDraw, nullptr);
  std::printf("DirectDrawCreate: %lx\n", hex(r));
  if (r != DD_OK) return 1;
  std::printf("SetCooperativeLevel: %lx\n", hex(directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL)));

  // The primary surface with a destination overlay key.
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS;
  desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  IDirectDrawSurface* primary = nullptr;
  r = directDraw->CreateSurface(&desc, &primary, nullptr);
  std::printf("primary: %lx\n", hex(r));
  if (r != DD_OK) return 1;
  DDCOLORKEY overlayKey{0xF81F, 0xF81F};
  std::printf("SetColorKey destination overlay: %lx\n", hex(primary->SetColorKey(DDCKEY_DESTOVERLAY, &overlayKey)));
  desc = {};
  desc.dwSize = sizeof desc;
  std::printf("GetSurfaceDesc: %lx\n", hex(primary->GetSurfaceDesc(&desc)));
  printKey("primary destination overlay key", desc.dwFlags, descKeyDestOverlay, desc.ddckCKDestOverlay);

  // A surface of a pixel format given here, with two blit keys.
  desc = {};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = 50;
  desc.dwHeight = 20;
  desc.ddsCaps.dwCaps = capsOffscreenPlain | capsSystemMemory;
  desc.ddpfPixelFormat.dwSize = sizeof desc.ddpfPixelFormat;
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc.ddpfPixelFormat.dwRGBBitCount = 16;
  desc.ddpfPixelFormat.dwRBitMask = 0xF800;
  desc.ddpfPixelFormat.dwGBitMask = 0x07E0;
  desc.ddpfPixelFormat.dwBBitMask = 0x001F;
  IDirectDrawSurface* plain = nullptr;
  r = directDraw->CreateSurface(&desc, &plain, nullptr);
  std::printf("plain surface: %lx\n", hex(r));
  if (r != DD_OK) return 1;
  DDCOLORKEY destKey{0x0011, 0x0011};
  DDCOLORKEY srcKey{0x0033, 0x0033};
  std::printf("SetColorKey destination blit: %lx\n", hex(plain->SetColorKey(keyDestBlt, &destKey)));
  std::printf("SetColorKey source blit: %lx\n", hex(plain->SetColorKey(keySrcBlt, &srcKey)));
  desc = {};
  desc.dwSize = sizeof desc;
  std::printf("GetSurfaceDesc: %lx\n", hex(plain->GetSurfaceDesc(&desc)));
  std::printf("size %lux%lu, pitch at least a line: %s\n", static_cast<unsigned long>(desc.dwWidth),
              static_cast<unsigned long>(desc.dwHeight), desc.lPitch >= 100 ? "yes" : "no");
  const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
  std::printf("format: flags %lx, %lu bits, masks %lx %lx %lx\n", static_cast<unsigned long>(format.dwFlags),
              static_cast<unsigned long>(format.dwRGBBitCount), static_cast<unsigned long>(format.dwRBitMask),
              static_cast<unsigned long>(format.dwGBitMask), static_cast<unsigned long>(format.dwBBitMask));
  printKey("destination blit key", desc.dwFlags, descKeyDestBlt, desc.ddckCKDestBlt);
  printKey("source blit key", desc.dwFlags, descKeySrcBlt, desc.ddckCKSrcBlt);

  // Lock and unlock: the memory and pitch come back, and an unlock without a
  // lock is refused.
  const LONG pitch = desc.lPitch;
  DDSURFACEDESC locked{};
  locked.dwSize = sizeof locked;
  r = plain->Lock(nullptr, &locked, 0, nullptr);
  std::printf("Lock: %lx, memory %s, same pitch: %s\n", hex(r), locked.lpSurface != nullptr ? "set" : "null",
              locked.lPitch == pitch ? "yes" : "no");
  printKey("locked source blit key", locked.dwFlags, descKeySrcBlt, locked.ddckCKSrcBlt);
  std::printf("Unlock: %lx\n", hex(plain->Unlock(nullptr)));
  std::printf("Unlock again: %lx\n", hex(plain->Unlock(nullptr)));

  std::printf("Release plain: %lu\n", static_cast<unsigned long>(plain->Release()));
  std::printf("Release primary: %lu\n", static_cast<unsigned long>(primary->Release()));
  std::printf("Release DirectDraw: %lu\n", static_cast<unsigned long>(directDraw->Release()));
  return 0;
}
