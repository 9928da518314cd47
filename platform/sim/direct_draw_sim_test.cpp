#include "sim/direct_draw_sim.h"

#include <gtest/gtest.h>

#include "sim/global_memory_sim.h"

namespace {

using namespace platform;
using sim::SimDirectDraw;

DDSURFACEDESC overlayDesc(DWORD width, DWORD height, DWORD caps = DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY) {
  DDSURFACEDESC desc{};
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
  desc.ddsCaps.dwCaps = caps;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.ddpfPixelFormat.dwFlags = DDPF_FOURCC;
  desc.ddpfPixelFormat.dwFourCC = 0x32595559;
  return desc;
}

struct Session {
  IDirectDraw* dd = nullptr;
  IDirectDrawSurface* primary = nullptr;
  explicit Session(SimDirectDraw& sim) {
    EXPECT_EQ(sim.DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    EXPECT_EQ(dd->CreateSurface(&desc, &primary, nullptr), DD_OK);
  }
};

TEST(SimDirectDraw, RefusesSurfacesTheDisplayCannotHold) {
  SimDirectDraw sim(614400 + 200000);
  Session s(sim);
  IDirectDrawSurface* surface = nullptr;
  // Sides beyond 4095, as a negative size turned unsigned gives.
  auto huge = overlayDesc(0xFFFFFAECu, 240);
  EXPECT_EQ(s.dd->CreateSurface(&huge, &surface, nullptr), DDERR_INVALIDPARAMS);
  huge = overlayDesc(320, 4096);
  EXPECT_EQ(s.dd->CreateSurface(&huge, &surface, nullptr), DDERR_INVALIDPARAMS);
  // A codec surface whose lock would reach past video memory.
  auto codec = overlayDesc(640, 700, DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_HWCODEC);
  EXPECT_EQ(s.dd->CreateSurface(&codec, &surface, nullptr), DDERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(surface, nullptr);
  EXPECT_EQ(sim.surfacesCreated, 1);  // the primary only
}

TEST(SimDirectDraw, ShrunkVideoMemoryHoldsOnlyWhatFitsBelowTheLimit) {
  SimDirectDraw sim(2u << 20);
  Session s(sim);
  EXPECT_EQ(sim.limitVideoMemory(700000), 700000u);
  IDirectDrawSurface* surface = nullptr;
  auto desc = overlayDesc(320, 240);  // 153600 bytes after the 614400-byte screen
  EXPECT_EQ(s.dd->CreateSurface(&desc, &surface, nullptr), DDERR_OUTOFVIDEOMEMORY);
  desc = overlayDesc(64, 64);
  EXPECT_EQ(s.dd->CreateSurface(&desc, &surface, nullptr), DD_OK);
  // The screen always stays.
  EXPECT_EQ(sim.limitVideoMemory(1000), 614400u);
}

TEST(SimDirectDraw, OverlaysFollowTheScreenUntilVideoMemoryRunsOut) {
  // 640 x 480 x 2 = 614400 bytes of screen; room for one 320 x 240 overlay
  // (640 x 240 = 153600 bytes) but not two.
  SimDirectDraw sim(614400 + 200000);
  Session s(sim);
  IDirectDrawSurface* first = nullptr;
  IDirectDrawSurface* second = nullptr;
  auto desc = overlayDesc(320, 240);
  ASSERT_EQ(s.dd->CreateSurface(&desc, &first, nullptr), DD_OK);
  EXPECT_EQ(sim.liveOverlay()->offset, 614400u);
  EXPECT_EQ(s.dd->CreateSurface(&desc, &second, nullptr), DDERR_OUTOFVIDEOMEMORY);
  EXPECT_EQ(second, nullptr);
  // The codec surface needs no video memory and locks onto the screen.
  auto codec = overlayDesc(320, 240, DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY | DDSCAPS_HWCODEC);
  ASSERT_EQ(s.dd->CreateSurface(&codec, &second, nullptr), DD_OK);
  DDSURFACEDESC locked{};
  locked.dwSize = sizeof locked;
  ASSERT_EQ(second->Lock(nullptr, &locked, 0, nullptr), DD_OK);
  EXPECT_EQ(locked.lpSurface, sim.screenMemory() + 1280);
  EXPECT_EQ(second->Lock(nullptr, &locked, 0, nullptr), DDERR_SURFACEBUSY);
  EXPECT_EQ(sim.heldLocks(), 1);
  EXPECT_EQ(second->Unlock(nullptr), DD_OK);
  EXPECT_EQ(second->Unlock(nullptr), DDERR_NOTLOCKED);

  first->Release();
  second->Release();
  s.primary->Release();
  s.dd->Release();
  EXPECT_EQ(sim.liveObjects(), 0);
  EXPECT_EQ(sim.heldLocks(), 0);
  EXPECT_EQ(sim.misuse, 1);  // the unmatched Unlock
}

TEST(SimDirectDraw, LostSurfacesAndModeChanges) {
  SimDirectDraw sim;
  Session s(sim);
  IDirectDrawSurface* overlay = nullptr;
  auto desc = overlayDesc(64, 64);
  ASSERT_EQ(s.dd->CreateSurface(&desc, &overlay, nullptr), DD_OK);
  RECT r{0, 0, 64, 64};
  EXPECT_EQ(overlay->UpdateOverlay(&r, s.primary, &r, DDOVER_SHOW, nullptr), DD_OK);

  sim.loseSurfaces();
  EXPECT_EQ(overlay->UpdateOverlay(&r, s.primary, &r, DDOVER_SHOW, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(s.primary->Restore(), DD_OK);
  EXPECT_EQ(overlay->Restore(), DD_OK);
  EXPECT_EQ(overlay->UpdateOverlay(&r, s.primary, &r, DDOVER_SHOW, nullptr), DD_OK);

  ASSERT_TRUE(sim.setMode({800, 600, 24, true}));
  EXPECT_EQ(overlay->UpdateOverlay(&r, s.primary, &r, DDOVER_HIDE, nullptr), DDERR_SURFACELOST);
  EXPECT_EQ(s.primary->Restore(), DDERR_WRONGMODE);
  EXPECT_FALSE(sim.setMode({4000, 4000, 32, true}));

  ASSERT_EQ(sim.updates().size(), 4u);
  EXPECT_EQ(sim.updates()[3].flags, DDOVER_HIDE);
  EXPECT_EQ(sim.updates()[3].result, DDERR_SURFACELOST);
  EXPECT_EQ(sim.updates()[3].dest->right, 64);
}

TEST(SimGlobalMemory, InjectedFailuresAndBooks) {
  sim::SimGlobalMemory memory;
  memory.failAllocationNumber(2);
  HGLOBAL a = memory.GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 16);
  HGLOBAL b = memory.GlobalAlloc(GMEM_MOVEABLE, 16);
  HGLOBAL c = memory.GlobalAlloc(GMEM_MOVEABLE, 16);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  ASSERT_NE(c, nullptr);
  auto* p = static_cast<unsigned char*>(memory.GlobalLock(a));
  EXPECT_EQ(p[15], 0);
  EXPECT_EQ(static_cast<unsigned char*>(memory.GlobalLock(c))[0], 0xCD);
  EXPECT_EQ(memory.heldLocks(), 2);
  EXPECT_EQ(memory.GlobalUnlock(a), FALSE);
  EXPECT_EQ(memory.GlobalUnlock(c), FALSE);
  EXPECT_EQ(memory.GlobalFree(a), nullptr);
  EXPECT_EQ(memory.GlobalFree(c), nullptr);
  EXPECT_EQ(memory.liveBlocks(), 0u);
  EXPECT_EQ(memory.misuse, 0);
}

}  // namespace
