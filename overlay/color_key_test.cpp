#include "overlay/color_key.h"

#include <vector>

#include "overlay/overlay_fixture.h"
#include "overlay/overlay_regs.h"

namespace ovlport_test {
namespace {

using namespace ovlport;
using Call = sim::SimDirectDraw::Call;
using Target = sim::SimDirectDraw::Target;

TEST(KeyConversions, SixteenAndTwentyFourBits) {
  EXPECT_EQ(key16From24(0xFF00FF), 0xF81Fu);
  EXPECT_EQ(key24From16(0xF81F), 0xFF00FFu);
  EXPECT_EQ(key24From16(0x8410), 0x848284u);
  EXPECT_EQ(key24From16(0xFFFF), 0xFFFFFFu);
  EXPECT_EQ(key16From24(0x123456), 0x11AAu);
  // Every 16-bit key survives the way to 24 bits and back.
  for (DWORD key = 0; key <= 0xFFFF; ++key) ASSERT_EQ(key16From24(key24From16(key)), key);
}

class ColorKeyTest : public OverlayTest {};

TEST_F(ColorKeyTest, DeriveColorKeyByScreenDepth) {
  struct Case {
    int bits;
    DWORD capFlags;
    DWORD keyColor;
    LONG result;
    DWORD colorKey, key16, key24, paletteIndex;
  };
  constexpr DWORD k = capHostKeyColor;
  constexpr DWORD old = 0xABCD;  // key16, key24 and the index before the call
  const Case cases[] = {
      {16, 0, 0xF81F, 0, noColorKey, old, old, old},
      {16, k, 0x1FF00FF, 0, 0xF81F, 0xF81F, 0xFF00FF, 0xFF00},
      {16, k, 0xF81F, 0, 0xF81F, 0xF81F, 0xFF00FF, 0xFF00},
      {16, k, 0x10000, errKeyColor, 0x10000, old, old, old},
      {16, k, 0x02000000, errKeyColor, 0x02000000, old, old, old},
      {24, k, 0x1FFFFFF, 0, 0xFFFFFF, 0xFFFF, 0xFFFFFF, 0xFF00},
      {24, k, 0x2000000, errKeyColor, 0x2000000, old, old, old},
      // Palette entry 5 of the 3-3-2 cube: red 0, green 0x20, blue 0x40.
      {8, k, 5, 0, 5, key16From24(0x002040), 0x002040, 5},
      {8, k, 256, errKeyColor, 256, old, old, old},
      {32, k, 0x12345678, 0, 0x12345678, old, old, old},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.bits << " bits, key " << std::hex << c.keyColor);
    load(3, c.bits);
    state.configuredBytesPerPixel = static_cast<WORD>(state.bytesPerPixel);
    state.key16 = state.key24 = state.keyPaletteIndex = old;
    EXPECT_EQ(deriveColorKey(c.capFlags, c.keyColor), c.result);
    EXPECT_EQ(state.colorKey, c.colorKey);
    EXPECT_EQ(state.key16, c.key16);
    EXPECT_EQ(state.key24, c.key24);
    EXPECT_EQ(state.keyPaletteIndex, c.paletteIndex);
    EXPECT_EQ(memory->liveBlocks(), 0u);
  }
}

TEST_F(ColorKeyTest, PaletteEntryNotAtHand) {
  // With no palette buffer the key becomes index 5; with a screen that gives
  // no palette entries (a depth the driver has not caught up with yet) the
  // index stays.  Either way key16 and key24 keep their values.
  struct Case {
    const char* name;
    int bits;
    bool failAllocation;
    DWORD colorKey;
  };
  const Case cases[] = {{"no palette buffer", 8, true, 5}, {"no palette entries", 16, false, 7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load(3, c.bits);
    state.configuredBytesPerPixel = 1;
    state.key16 = state.key24 = 0xABCD;
    if (c.failAllocation) memory->failNextAllocations(1);
    EXPECT_EQ(deriveColorKey(capHostKeyColor, 7), 0);
    EXPECT_EQ(state.colorKey, c.colorKey);
    EXPECT_EQ(state.keyPaletteIndex, 7u);
    EXPECT_EQ(state.key16, 0xABCDu);
    EXPECT_EQ(state.key24, 0xABCDu);
    EXPECT_EQ(memory->liveBlocks(), 0u);
  }
}

TEST_F(ColorKeyTest, ScreenScan) {
  struct Case {
    const char* name;
    int b;
    DWORD key;
    RECT visible;
    std::vector<std::pair<int, int>> keyPixels;  // (x, y) painted with the key
    std::vector<std::pair<int, int>> otherPixels;  // painted with another colour
    DWORD colorKey;
  };
  const Case cases[] = {
      {"16 bits, plain screen", 2, 0xF81F, {0, 0, 64, 32}, {}, {}, 0xF81F},
      {"16 bits, key present", 2, 0xF81F, {0, 0, 64, 32}, {{10, 5}}, {}, 0xF81F | keyCollisionBit},
      {"16 bits, key outside", 2, 0xF81F, {0, 0, 64, 32}, {{64, 5}}, {}, 0xF81F},
      {"24 bits, key present", 3, 0xFF00FF, {8, 8, 40, 30}, {{39, 29}}, {}, 0xFF00FF | keyCollisionBit},
      {"24 bits, plain", 3, 0xFF00FF, {8, 8, 40, 30}, {}, {{9, 9}}, 0xFF00FF},
      {"8 bits, one colour", 1, 7, {0, 0, 64, 32}, {}, {}, 7},
      {"8 bits, key and others", 1, 7, {0, 0, 64, 32}, {{3, 3}}, {{1, 0}}, 7 | keyCollisionBit},
      // The scan stops at the first pixel, which is uniform so far: taken up.
      {"8 bits, key colour first", 1, 7, {0, 0, 2, 1}, {{0, 0}}, {{1, 0}}, 7},
      {"8 bits, several colours", 1, 7, {0, 0, 64, 32}, {}, {{5, 5}}, 7},
      {"empty rectangle", 2, 0xF81F, {10, 10, 10, 40}, {}, {}, 0xF81F},
      {"beyond the screen", 2, 0xF81F, {600, 400, 900, 700}, {}, {}, 0xF81F},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load(3, c.b * 8);
    const DWORD lineBytes = 640u * c.b;
    std::vector<BYTE> screenMemory(lineBytes * 480, 0);
    auto paint = [&](std::pair<int, int> at, DWORD colour) {
      BYTE* p = screenMemory.data() + at.second * lineBytes + at.first * c.b;
      if (c.b == 1) p[0] = static_cast<BYTE>(colour);
      if (c.b == 2) p[0] = static_cast<BYTE>(colour), p[1] = static_cast<BYTE>(colour >> 8);
      if (c.b == 3) p[0] = static_cast<BYTE>(colour >> 16), p[1] = static_cast<BYTE>(colour >> 8), p[2] = static_cast<BYTE>(colour);
    };
    for (auto at : c.keyPixels) paint(at, c.key);
    for (auto at : c.otherPixels) paint(at, 0x3);
    state.primaryBits = screenMemory.data();
    state.visibleRect = c.visible;
    state.colorKey = c.key;
    scanScreenForKey(c.b, lineBytes);
    EXPECT_EQ(state.colorKey, c.colorKey) << std::hex << state.colorKey;
    state.primaryBits = nullptr;
  }
}

// Recovery through the overlay object, as the host reaches it.
class RecoveryTest : public OverlayTest {
 protected:
  static void WINAPI recordNotice(DWORD notice, DWORD argument) {
    notices.push_back({notice, argument});
    if (reenter != nullptr) {
      // Calling back into the driver while the notice is delivered.
      notifyingSeen = driverState.notifying;
      reenterResult = reenter->hide(reenter);
    }
  }
  void SetUp() override {
    notices.clear();
    reenter = nullptr;
  }
  OverlayDescriptor withCallback(OverlayDescriptor d) {
    d.noticeCallback = recordNotice;
    return d;
  }
  static inline std::vector<std::pair<DWORD, DWORD>> notices;
  static inline OverlayObject* reenter = nullptr;
  static inline DWORD notifyingSeen = 0;
  static inline LONG reenterResult = 1;
};

TEST_F(RecoveryTest, LostSurfacesAreRestoredAndShownAgain) {
  load();
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(object->show(object), 0);
  directDraw->loseSurfaces();
  const auto updates = directDraw->updates().size();
  EXPECT_EQ(object->showSurface(object), 0);
  // Lost, restored, shown again; no new DirectDraw object.
  ASSERT_EQ(directDraw->updates().size(), updates + 2);
  EXPECT_EQ(directDraw->updates()[updates].result, platform::DDERR_SURFACELOST);
  EXPECT_EQ(directDraw->updates()[updates + 1].result, platform::DD_OK);
  EXPECT_EQ(directDraw->updates()[updates + 1].flags, 0x4400u);
  EXPECT_EQ(directDraw->directDrawCreated, 1);
  EXPECT_EQ(state.overlayShown, 1u);
  EXPECT_EQ(controller->sequencer(0x08) & 1, 1);  // engine switched back on
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

TEST_F(RecoveryTest, DepthChangeWithoutCallbackScansTheScreen) {
  for (bool magenta : {false, true}) {
    SCOPED_TRACE(magenta ? "magenta pixel under the overlay" : "no key colour on screen");
    load();
    OverlayObject* object = open();
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(state.key16, 0xF81Fu);
    changeMode(24);
    if (magenta) {
      BYTE* p = directDraw->screenMemory() + 200 * 640 * 3 + 200 * 3;  // inside (100, 100, 420, 340)
      p[0] = 0xFF, p[1] = 0x00, p[2] = 0xFF;
    }
    EXPECT_EQ(object->showSurface(object), 0);
    EXPECT_EQ(state.bytesPerPixel, 3);
    EXPECT_EQ(state.configuredBytesPerPixel, 3);
    EXPECT_EQ(state.key24, 0xFF00FFu);
    EXPECT_EQ(state.colorKey, magenta ? 0xFF00FFu | keyCollisionBit : 0xFF00FFu);
    EXPECT_EQ(state.pendingNotice, 0u);
    EXPECT_EQ(directDraw->directDrawCreated, 2);
    EXPECT_EQ(directDraw->directDrawReleased, 1);
    // The key goes to DirectDraw again, or the overlay runs without it.
    EXPECT_EQ(directDraw->updates().back().flags, magenta ? 0x4000u : 0x4400u);
    EXPECT_EQ(object->close(object), 0);
    expectBooksBalanced();
  }
}

TEST_F(RecoveryTest, DepthChangeWithCallbackNotifiesInsteadOfScanning) {
  load();
  OverlayObject* object = open(withCallback(descriptor()));
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(object->show(object), 0);
  changeMode(24);
  reenter = object;
  EXPECT_EQ(object->showSurface(object), 0);
  EXPECT_THAT(notices, ::testing::ElementsAre(std::pair<DWORD, DWORD>{32762, 3}));
  EXPECT_EQ(notifyingSeen, 1u);
  EXPECT_EQ(reenterResult, 0);
  EXPECT_EQ(state.colorKey, 0xFF00FFu);  // no state bits: not scanned
  EXPECT_EQ(state.overlayShown, 0u);
  EXPECT_EQ(state.pendingNotice, 0u);
  EXPECT_EQ(state.notifying, 0u);
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

TEST_F(RecoveryTest, HideSurfaceRecoversAndDeliversTheNotice) {
  load();
  OverlayObject* object = open(withCallback(descriptor()));
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(object->showSurface(object), 0);
  changeMode(24);
  const auto updates = directDraw->updates().size();
  EXPECT_EQ(object->hideSurface(object), 0);
  EXPECT_THAT(notices, ::testing::ElementsAre(std::pair<DWORD, DWORD>{32762, 3}));
  // Lost, then the hide again on the new surfaces.
  ASSERT_EQ(directDraw->updates().size(), updates + 2);
  EXPECT_EQ(directDraw->updates().back().result, platform::DD_OK);
  EXPECT_EQ(directDraw->updates().back().flags & platform::DDOVER_HIDE, platform::DDOVER_HIDE);
  EXPECT_EQ(state.surfaceShown, 0u);
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

TEST_F(RecoveryTest, NoticeWaitsWhileTheHostIsBeingNotified) {
  load();
  OverlayObject* object = open(withCallback(descriptor()));
  ASSERT_NE(object, nullptr);
  changeMode(24);
  state.notifying = 1;  // as inside the host's notification function
  EXPECT_EQ(object->showSurface(object), 0);
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(state.pendingNotice, 0u);  // not posted: scanned instead
  EXPECT_EQ(state.colorKey, 0xFF00FFu);
  state.notifying = 0;
  EXPECT_EQ(object->close(object), 0);
}

TEST_F(RecoveryTest, EightBitScreenFindsThePaletteIndex) {
  struct Case {
    DWORD keyColor;  // on the 16-bit screen
    bool failPalette;
    DWORD colorKey;
  };
  const Case cases[] = {
      {0x8410, false, 0x92},  // grey 0x848284: palette entry (0x80, 0x80, 0x80)
      {0xF81F, false, 5},     // magenta: its nearest colour read back swapped is not in the palette
      {0x8410, true, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyColor);
    load();
    auto d = descriptor();
    d.caps.keyColor = c.keyColor;
    OverlayObject* object = open(d);
    ASSERT_NE(object, nullptr);
    changeMode(8);
    if (c.failPalette) memory->failNextAllocations(1);
    EXPECT_EQ(object->showSurface(object), 0);
    EXPECT_EQ(state.keyPaletteIndex, c.colorKey);
    EXPECT_EQ(state.colorKey, c.colorKey);  // one-coloured screen: the key is taken up again
    EXPECT_EQ(object->close(object), 0);
    expectBooksBalanced();
  }
}

TEST_F(RecoveryTest, OutOfVideoMemoryOnRecreation) {
  // 800 x 600 at 16 bits fills 960000 of 1200000 bytes: no room for a
  // 320 x 240 overlay (153600 bytes) after a change from 640 x 480.
  for (bool clipped : {false, true}) {
    SCOPED_TRACE(clipped ? "clipped destination" : "whole destination");
    load(3, 16, 640, 480, 1100000);
    auto d = withCallback(descriptor());
    if (clipped) d.window.destRect = {-40, 100, 280, 340};
    OverlayObject* object = open(d);
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->show(object), 0);
    notices.clear();
    changeMode(16, 800, 600);
    EXPECT_EQ(object->showSurface(object), 0);
    if (clipped) {
      EXPECT_THAT(notices, ::testing::ElementsAre(std::pair<DWORD, DWORD>{32762, 1}));
      EXPECT_EQ(state.inPlaceMode, 0u);
      EXPECT_EQ(state.overlayShown, 0u);
    } else {
      // The codec surface writes into the screen: the engine follows it.
      EXPECT_TRUE(notices.empty());
      EXPECT_EQ(state.inPlaceMode, 1u);
      EXPECT_EQ(directDraw->liveOverlay()->caps, 0x184080u);
      EXPECT_EQ(state.overlayShown, 1u);
      EXPECT_EQ(controller->sequencer(0x1A) | controller->sequencer(0x1B) << 8, 800);  // 1600 bytes a line
    }
    EXPECT_EQ(object->close(object), 0);
    expectBooksBalanced();
  }
}

}  // namespace
}  // namespace ovlport_test
