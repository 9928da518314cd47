#include "overlay/surfaces.h"

#include <algorithm>
#include <vector>

#include "overlay/overlay_fixture.h"

namespace ovlport_test {
namespace {

using namespace ovlport;
using namespace platform;
using ::testing::ElementsAre;
using Call = sim::SimDirectDraw::Call;
using Target = sim::SimDirectDraw::Target;

class SurfacesTest : public OverlayTest {
 protected:
  void SetUp() override { load(); }
  void makeDirectDraw() { ASSERT_EQ(directDraw->DirectDrawCreate(nullptr, &state.directDraw, nullptr), DD_OK); }
  void releaseAll() {
    if (state.overlaySurface != nullptr) state.overlaySurface->Release();
    if (state.primarySurface != nullptr) state.primarySurface->Release();
    if (state.directDraw != nullptr) state.directDraw->Release();
    state.overlaySurface = state.primarySurface = nullptr;
    state.directDraw = nullptr;
    EXPECT_EQ(directDraw->liveObjects(), 0);
    EXPECT_EQ(directDraw->heldLocks(), 0);
  }
};

TEST_F(SurfacesTest, CreatesPrimaryAndOverlayAndReportsTheOverlayOffset) {
  makeDirectDraw();
  const DWORD word = createSurfaces(0x1234, 320, 240, fourCcRgb565, 0xF81F);
  // 640 x 480 pixels of 2 bytes: the overlay follows the screen.
  EXPECT_EQ(word, 614400u);
  EXPECT_EQ(state.primaryBits, directDraw->screenMemory());
  EXPECT_EQ(state.overlayPitch, 640);
  EXPECT_EQ(state.appliedKey, 0xF81Fu);
  EXPECT_EQ(directDraw->destOverlayKey()->dwColorSpaceLowValue, 0xF81Fu);
  EXPECT_THAT(directDraw->calls(),
              ElementsAre("DirectDrawCreate", "SetCooperativeLevel directDraw", "CreateSurface primary",
                          "GetSurfaceDesc primary", "Lock primary", "Unlock primary", "SetColorKey primary",
                          "CreateSurface overlay", "GetSurfaceDesc overlay", "Lock overlay", "Unlock overlay"));
  const auto overlay = directDraw->liveOverlay();
  EXPECT_EQ(overlay->caps, 0x84080u);
  EXPECT_EQ(overlay->pixelFormat.dwFlags, DDPF_RGB);
  EXPECT_EQ(overlay->pixelFormat.dwRBitMask, 0xF800u);
  EXPECT_EQ(overlay->pixelFormat.dwGBitMask, 0x07E0u);
  EXPECT_EQ(overlay->pixelFormat.dwBBitMask, 0x001Fu);

  // A second creation while the overlay exists changes nothing.
  const auto calls = directDraw->calls().size();
  EXPECT_EQ(createSurfaces(0x1234, 320, 240, fourCcRgb565, 0xF81F), 0x1400000u);
  EXPECT_EQ(directDraw->calls().size(), calls);
  releaseAll();
}

TEST_F(SurfacesTest, InPlaceModeAsksForTheCodecSurface) {
  makeDirectDraw();
  state.inPlaceMode = 1;
  const DWORD word = createSurfaces(0x1234, 320, 240, fourCcYuy2, 0xF81F);
  EXPECT_TRUE(creationSucceeded(word));
  const auto overlay = directDraw->liveOverlay();
  EXPECT_EQ(overlay->caps, 0x184080u);
  EXPECT_EQ(overlay->pixelFormat.dwFlags, DDPF_FOURCC);
  EXPECT_EQ(overlay->pixelFormat.dwFourCC, fourCcYuy2);
  releaseAll();
}

struct FailureCase {
  const char* name;
  bool directDrawObject;
  Call call;
  Target target;
  HRESULT error;
  bool primaryWithoutRgb;
  DWORD word;
};

TEST_F(SurfacesTest, FailuresGiveTheErrorNumberInTheTopBits) {
  const FailureCase cases[] = {
      {"no DirectDraw object", false, Call::Lock, Target::Any, DD_OK, false, 0x20800000},
      {"out of video memory", true, Call::CreateSurface, Target::Overlay, DDERR_OUTOFVIDEOMEMORY, false, 0x5F000000},
      {"cooperative level", true, Call::SetCooperativeLevel, Target::Any, DDERR_INVALIDPARAMS, false, 0x15C00000},
      {"primary without RGB", true, Call::Lock, Target::Any, DD_OK, true, 0},
      {"overlay lock", true, Call::Lock, Target::Overlay, DDERR_SURFACELOST, false, 0x70800000},
      {"primary lock", true, Call::Lock, Target::Primary, DDERR_SURFACEBUSY, false, 0x6B800000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load();
    if (c.primaryWithoutRgb) {
      ASSERT_TRUE(directDraw->setMode({640, 480, 16, false}));
    }
    if (c.directDrawObject) makeDirectDraw();
    if (c.error != DD_OK) {
      directDraw->failNext(c.call, c.error, c.target);
    }
    // Overlay memory that must not be cleared after a failed lock.
    std::fill(directDraw->videoMemory().begin(), directDraw->videoMemory().end(), 0xEE);
    state.clearSurface = capClearSurface;
    const DWORD word = createSurfaces(0x1234, 320, 240, fourCcYuy2, 0xF81F);
    EXPECT_EQ(word, c.word);
    EXPECT_FALSE(creationSucceeded(word));
    EXPECT_EQ(state.overlaySurface, nullptr);
    EXPECT_TRUE(std::all_of(directDraw->videoMemory().begin(), directDraw->videoMemory().end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
    releaseAll();
  }
}

TEST_F(SurfacesTest, PrimaryLockedAgainAfterItsLockFailed) {
  makeDirectDraw();
  directDraw->failNext(Call::Lock, DDERR_SURFACEBUSY, Target::Primary);
  EXPECT_FALSE(creationSucceeded(createSurfaces(0x1234, 320, 240, fourCcRgb565, 0xF81F)));
  EXPECT_EQ(createSurfaces(0x1234, 320, 240, fourCcRgb565, 0xF81F), 614400u);
  EXPECT_EQ(state.primaryBits, directDraw->screenMemory());
  releaseAll();
}

TEST_F(SurfacesTest, ClearFillsYuy2WithBlackPairsAndRgbWithZeros) {
  struct Case {
    DWORD format;
    std::vector<std::uint8_t> line;  // the first pitch (16) bytes of a line after the clear
  };
  const std::uint8_t e = 0xEE;
  const Case cases[] = {
      // 5 pixels: 3 stores of 00 80 00 80, the rest of the pitch untouched.
      {fourCcYuy2, {0, 0x80, 0, 0x80, 0, 0x80, 0, 0x80, 0, 0x80, 0, 0x80, e, e, e, e}},
      // RGB: the whole pitch of every line zeroed.
      {fourCcRgb565, std::vector<std::uint8_t>(16, 0)},
  };
  for (const auto& c : cases) {
    load();
    makeDirectDraw();
    std::fill(directDraw->videoMemory().begin(), directDraw->videoMemory().end(), 0xEE);
    state.clearSurface = capClearSurface;
    const DWORD word = createSurfaces(0x1234, 5, 2, c.format, 0xF81F);
    ASSERT_TRUE(creationSucceeded(word));
    ASSERT_EQ(state.overlayPitch, 16);
    const std::uint8_t* bits = directDraw->screenMemory() + word;
    for (int line = 0; line < 2; ++line)
      EXPECT_EQ(std::vector<std::uint8_t>(bits + 16 * line, bits + 16 * line + 16), c.line) << "line " << line;
    EXPECT_EQ(bits[32], 0xEE);  // past the surface
    releaseAll();
  }
}

TEST(ClearOverlayMemory, Yuy2FillsWholePairsOfEachLineAndNothingElse) {
  // Widths through every store size of the fill (128-byte runs, 32-byte
  // stores, single values), and a pitch narrower than the width says.
  struct Case {
    DWORD width;
    LONG pitch;
    std::size_t filled;  // bytes of each line that become black pairs
  };
  const Case cases[] = {{5, 16, 12}, {16, 32, 32}, {47, 96, 96}, {97, 200, 196}, {750, 1504, 1500}, {10, 8, 8}};
  for (const auto& c : cases) {
    const DWORD height = 3;
    std::vector<std::uint8_t> memory(static_cast<std::size_t>(c.pitch) * height + 8, 0xEE);
    clearOverlayMemory(memory.data(), c.width, height, c.pitch, fourCcYuy2);
    for (std::size_t i = 0; i < memory.size(); ++i) {
      const std::size_t column = i % static_cast<std::size_t>(c.pitch);
      const bool inside = i < static_cast<std::size_t>(c.pitch) * height && column < c.filled;
      const std::uint8_t want = inside ? (column % 2 == 0 ? 0x00 : 0x80) : 0xEE;
      ASSERT_EQ(memory[i], want) << "width " << c.width << ", byte " << i;
    }
  }
}

TEST_F(SurfacesTest, UpdateOverlayFlagsFollowTheKey) {
  makeDirectDraw();
  ASSERT_TRUE(creationSucceeded(createSurfaces(0x1234, 320, 240, fourCcRgb565, 0xF81F)));
  struct Case {
    DWORD key;
    DWORD mode;
    DWORD flags;
    bool effects;
  };
  const Case cases[] = {
      {0xFF000000, 1, 0x4000, false},  // no key
      {0x0100F81F, 0, 0x200, false},   // key suspended by recovery
      {0xF81F, 1, 0x4400, false},      // the key set at creation
      {0x1234, 1, 0x84800, true},      // another key: override
      {0x1234, 1, 0x4400, false},      // now the applied one
      {0x5678, 0, 0x80A00, true},
      {0x5678, 0, 0x600, false},
  };
  const RECT dest{10, 20, 330, 260}, source{0, 0, 320, 240};
  for (const auto& c : cases) {
    EXPECT_EQ(updateOverlay(&dest, &source, c.key, c.mode), DD_OK);
    const auto& u = directDraw->updates().back();
    EXPECT_EQ(u.flags, c.flags) << std::hex << c.key;
    ASSERT_EQ(u.fx.has_value(), c.effects);
    if (c.effects) {
      EXPECT_EQ(u.fx->dwSize, 56u);
      EXPECT_EQ(u.fx->dckDestColorkey.dwColorSpaceLowValue, c.key);
      EXPECT_EQ(u.fx->dckDestColorkey.dwColorSpaceHighValue, c.key);
    }
    EXPECT_TRUE(sameRectOf(*u.dest, dest) && sameRectOf(*u.source, source));
  }
  EXPECT_EQ(state.appliedKey, 0x5678u);
  releaseAll();
}

TEST_F(SurfacesTest, MissingSurfacesAreAnInvalidObject) {
  makeDirectDraw();
  const RECT r{0, 0, 1, 1};
  EXPECT_EQ(updateOverlay(&r, &r, 0xFF000000, 1), DDERR_INVALIDOBJECT);
  ASSERT_TRUE(creationSucceeded(createSurfaces(0x1234, 320, 240, fourCcRgb565, 0xF81F)));
  state.overlaySurface->Release();
  state.overlaySurface = nullptr;
  const auto calls = directDraw->calls().size();
  EXPECT_EQ(restoreSurfaces(), DDERR_INVALIDOBJECT);
  EXPECT_EQ(directDraw->calls().size(), calls);  // no Restore called
  releaseAll();
}

}  // namespace
}  // namespace ovlport_test
