#include "overlay/configure.h"

#include <climits>
#include <cstring>

#include "overlay/overlay_fixture.h"

namespace ovlport_test {
namespace {

using namespace ovlport;
using Call = sim::SimDirectDraw::Call;
using Target = sim::SimDirectDraw::Target;

class ConfigureTest : public OverlayTest {};

TEST_F(ConfigureTest, ValidateWindow) {
  struct Case {
    const char* name;
    void (*change)(OverlayWindow&);
    LONG generation3, generation4;
  };
  const Case cases[] = {
      {"the fixture's window", [](OverlayWindow&) {}, 0, 0},
      {"frame 1024 wide", [](OverlayWindow& w) { w.frameWidth = 1024; }, errGeometry, errGeometry},
      {"capture beyond the frame", [](OverlayWindow& w) { w.captureRect.right = 641; }, errGeometry, errGeometry},
      {"image beyond the surface", [](OverlayWindow& w) { w.imageRect.right = 321; }, errGeometry, errGeometry},
      {"display beyond the surface", [](OverlayWindow& w) { w.displayRect.bottom = 241; }, errGeometry, errGeometry},
      {"display reduced", [](OverlayWindow& w) { w.destRect.right = 419; }, errGeometry, errGeometry},
      {"capture enlarged", [](OverlayWindow& w) { w.captureRect.right = 300; }, errGeometry, errGeometry},
      {"image 300 of 640",
       [](OverlayWindow& w) { w.imageRect.right = 300, w.displayRect.right = 300; }, errGeometry, 0},
      {"image 318 of 636 (unit 159)",
       [](OverlayWindow& w) { w.captureRect.right = 636, w.imageRect.right = 318; }, 0, 0},
      {"odd capture reduced",
       [](OverlayWindow& w) { w.captureRect.right = 639; }, errGeometry, 0},
      {"odd capture taken whole",
       [](OverlayWindow& w) {
         w.captureRect = {0, 0, 320, 239};
         w.imageRect = w.displayRect = {0, 0, 320, 239};
       },
       0, 0},
      {"image height 120 of 480 (an eighth is 60)", [](OverlayWindow& w) { w.imageRect.bottom = 120; }, 0, 0},
      {"image height 100 of 480", [](OverlayWindow& w) { w.imageRect.bottom = 100; }, errGeometry, 0},
  };
  for (int generation : {3, 4}) {
    load(generation);
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << c.name << ", generation " << generation);
      OverlayWindow w = descriptor().window;
      c.change(w);
      EXPECT_EQ(validateWindow(&w), generation == 3 ? c.generation3 : c.generation4);
    }
  }
  OverlayWindow w = descriptor().window;
  w.imageRect.bottom = 239;
  state.inPlaceMode = 1;
  EXPECT_EQ(validateWindow(&w), errGeometry);
  state.inPlaceMode = 0;
}

TEST_F(ConfigureTest, DefaultGeometry) {
  struct Case {
    int generation;
    RECT capture, dest;
    LONG width, height, surfaceWidth, captureRight;
  };
  const Case cases[] = {
      {3, {0, 0, 640, 480}, {0, 0, 320, 240}, 320, 240, 320, 640},
      {4, {0, 0, 640, 480}, {0, 0, 320, 240}, 320, 240, 320, 640},
      {3, {0, 0, 640, 480}, {50, 50, 350, 250}, 300, 120, 304, 640},
      {4, {0, 0, 640, 480}, {50, 50, 350, 250}, 300, 200, 304, 640},
      {3, {1, 0, 640, 480}, {0, 0, 320, 480}, 320, 480, 320, 637},
      {3, {1, 0, 640, 480}, {0, 0, 639, 480}, 639, 480, 640, 640},
      {4, {1, 0, 640, 480}, {0, 0, 320, 480}, 320, 480, 320, 640},
  };
  for (const auto& c : cases) {
    load(c.generation);
    OverlayWindow w;
    std::memset(&w, 0x55, sizeof w);
    w.captureRect = c.capture;
    w.destRect = c.dest;
    defaultGeometry(&w);
    EXPECT_TRUE(sameRectOf(w.imageRect, {0, 0, c.width, c.height}));
    EXPECT_TRUE(sameRectOf(w.displayRect, {0, 0, c.width, c.height}));
    EXPECT_EQ(w.surfaceSize.width, c.surfaceWidth);
    EXPECT_EQ(w.surfaceSize.height, c.height);
    EXPECT_EQ(w.captureRect.right, c.captureRight);
    EXPECT_EQ(w.zeroedByDefault[0] | w.zeroedByDefault[1], 0);
    EXPECT_TRUE(sameRectOf(w.destRect, c.dest));
    EXPECT_EQ(w.frameWidth, 0x55555555);
  }
}

TEST_F(ConfigureTest, PlacementClipsTheDestinationAndMapsItBack) {
  struct Case {
    RECT dest;
    RECT visible, source;
  };
  const Case cases[] = {
      {{-100, 0, 540, 480}, {0, 0, 540, 480}, {50, 0, 320, 240}},
      {{-3, 0, 637, 480}, {0, 0, 637, 480}, {1, 0, 319, 240}},
      {{400, 300, 720, 540}, {400, 300, 640, 480}, {0, 0, 240, 180}},
  };
  load();
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  for (const auto& c : cases) {
    OverlayWindow w = descriptor().window;
    w.destRect = c.dest;
    ASSERT_EQ(object->setWindow(object, &w), 0);
    EXPECT_TRUE(sameRectOf(state.visibleRect, c.visible));
    EXPECT_TRUE(sameRectOf(state.overlaySourceRect, c.source));
    const auto& update = directDraw->updates().back();
    EXPECT_TRUE(sameRectOf(*update.dest, c.visible));
    EXPECT_TRUE(sameRectOf(*update.source, c.source));
    EXPECT_TRUE(sameRectOf(object->storedDescriptor.window.destRect, c.dest));
  }
  EXPECT_EQ(object->close(object), 0);
}

TEST_F(ConfigureTest, PlacementOfExtremeWindowsIsDefined) {
  load();
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  const RECT rects[] = {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MAX, INT_MAX, INT_MIN, INT_MIN},
                        {-1, -1, 0, 0}, {0, 0, 1, INT_MAX}, {INT_MIN, 0, -1, 1}};
  for (const RECT& dest : rects)
    for (const RECT& display : rects) {
      OverlayWindow w = descriptor().window;
      w.destRect = dest;
      w.displayRect = display;
      w.captureRect = display;
      w.imageRect = display;
      const LONG rc = placeWindow(object, &w);
      EXPECT_TRUE(rc == 0 || rc == errNoVideoMemory);
      defaultGeometry(&w);
      validateWindow(&w);
    }
  EXPECT_EQ(object->close(object), 0);
}

TEST_F(ConfigureTest, InPlaceBufferStart) {
  EXPECT_EQ(inPlaceBase(3, 2), 8u);
  EXPECT_EQ(inPlaceBase(1, 3), 12u);
  EXPECT_EQ(inPlaceBase(4, 3), 12u);
  EXPECT_EQ(inPlaceBase(5, 1), 8u);
  EXPECT_EQ(inPlaceBase(0, 2), 0u);
}

struct Refusal {
  const char* name;
  void (*change)(OverlayDescriptor&);
  LONG result;
};

const Refusal refusals[] = {
    {"both geometry flags", [](OverlayDescriptor& d) { d.caps.capFlags |= capDriverGeometry; }, errCapabilityFlags},
    {"no geometry flag", [](OverlayDescriptor& d) { d.caps.capFlags &= ~capHostGeometry; }, errCapabilityFlags},
    {"formats 3", [](OverlayDescriptor& d) { d.caps.formats = d.caps.format = 3; }, errFormat},
    {"format differs", [](OverlayDescriptor& d) { d.caps.format = formatYuy2; }, errFormatMismatch},
    {"surface 751 wide",
     [](OverlayDescriptor& d) {
       d.window.surfaceSize.width = 751;
       d.window.frameWidth = 1000;
       d.window.captureRect.right = d.window.imageRect.right = d.window.displayRect.right = 751;
       d.window.destRect.right = 851;
     },
     errGeometry},
    {"key beyond 16 bits", [](OverlayDescriptor& d) { d.caps.keyColor = 0x10000; }, errKeyColor},
};

TEST_F(ConfigureTest, RefusedDescriptorFallsBackToTheStoredOne) {
  for (const auto& c : refusals) {
    SCOPED_TRACE(c.name);
    load();
    OverlayObject* object = open();
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(state.lastConfigureOk, 1u);
    const OverlayDescriptor stored = object->storedDescriptor;
    const auto updates = directDraw->updates().size();
    OverlayDescriptor d = descriptor();
    c.change(d);
    EXPECT_EQ(object->configure(object, &d), c.result);
    EXPECT_EQ(std::memcmp(&object->storedDescriptor, &stored, sizeof stored), 0);
    EXPECT_EQ(state.lastConfigureOk, 1u);
    EXPECT_EQ(state.colorKey, 0xF81Fu);  // the stored key in force again
    // The stored descriptor was applied again: placed (shown) and hidden.
    EXPECT_EQ(directDraw->updates().size(), updates + 2);
    EXPECT_EQ(object->close(object), 0);
    expectBooksBalanced();
  }
}

TEST_F(ConfigureTest, RefusedFirstDescriptorFailsTheOpen) {
  for (const auto& c : refusals) {
    SCOPED_TRACE(c.name);
    load();
    OverlayDescriptor d = descriptor();
    c.change(d);
    OverlayObject* object = nullptr;
    EXPECT_EQ(table()->openOverlay(table(), &d, &object), c.result);
    EXPECT_EQ(state.openObjects, 0);
    EXPECT_EQ(memory->liveBlocks(), 0u);
    EXPECT_EQ(directDraw->surfacesCreated, 0);
    EXPECT_EQ(directDraw->liveObjects(), 0);
  }
}

TEST_F(ConfigureTest, LargestSurfacePasses) {
  load();
  OverlayDescriptor d = descriptor();
  d.window.frameWidth = 1000;
  d.window.frameHeight = 600;
  d.window.captureRect = d.window.imageRect = d.window.displayRect = {0, 0, 750, 600};
  d.window.surfaceSize = {750, 600};
  d.window.destRect = {0, 0, 750, 600};
  OverlayObject* object = open(d);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(directDraw->liveOverlay()->width, 750u);
  EXPECT_EQ(object->close(object), 0);
}

TEST_F(ConfigureTest, OutOfVideoMemoryUsesTheScreenOn16BitsOnly) {
  for (int bits : {16, 8}) {
    SCOPED_TRACE(bits);
    // The screen and 1000 bytes: no room for the overlay.
    load(3, bits, 640, 480, 640u * 480u * (bits / 8) + 1000);
    OverlayDescriptor d = descriptor();
    d.caps.keyColor = 5;
    OverlayObject* object = nullptr;
    const LONG rc = table()->openOverlay(table(), &d, &object);
    if (bits == 16) {
      ASSERT_EQ(rc, 0);
      EXPECT_EQ(state.inPlaceMode, 1u);
      EXPECT_EQ(directDraw->liveOverlay()->caps, 0x184080u);
      EXPECT_EQ(state.createFailure, 0u);
      EXPECT_EQ(object->close(object), 0);
    } else {
      EXPECT_EQ(rc, errNoVideoMemory);
      EXPECT_EQ(state.inPlaceMode, 0u);
      EXPECT_EQ(state.createFailure, 380u);
      // The DirectDraw object and primary surface this open made go with it.
      EXPECT_EQ(directDraw->liveObjects(), 0);
    }
    EXPECT_EQ(directDraw->heldLocks(), 0);
  }
}

TEST_F(ConfigureTest, CreationAndPlacementFailuresGiveMinus8) {
  load();
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  // Another surface size, whose creation fails for a reason other than
  // video memory.
  OverlayDescriptor d = descriptor();
  d.window.surfaceSize = {400, 240};
  directDraw->failNext(Call::CreateSurface, platform::DDERR_INVALIDPIXELFORMAT, Target::Overlay);
  EXPECT_EQ(object->configure(object, &d), errOverlayFailed);
  EXPECT_EQ(state.lastConfigureOk, 0u);
  EXPECT_EQ(state.createFailure, 145u);
  EXPECT_EQ(object->surfacesOffset, 0u);
  // The next configure creates the surface again.
  EXPECT_EQ(object->configure(object, &d), 0);
  EXPECT_EQ(state.createFailure, 0u);
  EXPECT_EQ(directDraw->liveOverlay()->width, 400u);

  // A placement DirectDraw refuses.
  directDraw->failNext(Call::UpdateOverlay, platform::DDERR_INVALIDPARAMS);
  EXPECT_EQ(object->configure(object, &d), errOverlayFailed);
  EXPECT_EQ(state.lastConfigureOk, 0u);
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

}  // namespace
}  // namespace ovlport_test
