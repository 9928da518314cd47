// A simulated notebook for the tests of the overlay's surfaces, colour key,
// configuration, negotiation and object: the display controller, the screen
// with its palette, DirectDraw with its video memory, and global memory, put
// in place of the platform with the driver loaded afresh on them.  Every test
// ends with no overlay register reached outside the unlock bracket, no device
// context open, and no misuse of DirectDraw or global memory.
#pragma once

#include <cstring>
#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"
#include "overlay/driver_table.h"
#include "sim/direct_draw_sim.h"
#include "sim/display_sim.h"
#include "sim/global_memory_sim.h"

namespace ovlport_test {

inline bool sameRectOf(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class OverlayTest : public ::testing::Test {
 protected:
  static constexpr std::size_t defaultVideoMemory = 2u << 20;

  void load(int generation = 3, int bitsPerPixel = 16, int width = 640, int height = 480,
            std::size_t videoMemory = defaultVideoMemory) {
    sim::DisplayProfile profile;
    profile.generation = generation;
    profile.bitsPerPixel = bitsPerPixel;
    profile.width = width;
    profile.height = height;
    controller = std::make_unique<sim::DisplayController>(profile);
    screen = std::make_unique<sim::SimScreen>(profile);
    directDraw = std::make_unique<sim::SimDirectDraw>(videoMemory, sim::DisplayMode{width, height, bitsPerPixel, true});
    memory = std::make_unique<sim::SimGlobalMemory>();
    ovlport::driverPlatform = {controller.get(), screen.get(), directDraw.get(), memory.get()};
    ovlport::testing::reloadDriver();
  }

  void TearDown() override {
    if (controller) {
      EXPECT_THAT(controller->violations(), ::testing::IsEmpty());
    }
    if (screen) {
      EXPECT_EQ(screen->openDCs(), 0);
    }
    if (directDraw) {
      EXPECT_EQ(directDraw->misuse, 0);
    }
    if (memory) {
      EXPECT_EQ(memory->misuse, 0);
    }
    ovlport::driverPlatform = {};
  }

  // A display mode change: the screen queries and DirectDraw see the new mode.
  void changeMode(int bitsPerPixel, int width = 640, int height = 480) {
    screen->bitsPerPixel = bitsPerPixel;
    screen->width = width;
    screen->height = height;
    ASSERT_TRUE(directDraw->setMode({width, height, bitsPerPixel, true}));
  }

  // The driver table, as a host gets it.
  ovlport::VpmDriverTable* table() {
    ovlport::VpmDriverTable* slot = nullptr;
    EXPECT_EQ(vpmDriverProc(ovlport::vpmInterfaceId, ovlport::vpmInterfaceVersion, &slot), 0);
    return slot;
  }

  // A host descriptor: RGB 5:6:5 from a 640 x 480 frame into a 320 x 240
  // surface shown at (100, 100) in 320 x 240, with the key 0xF81F.
  static ovlport::OverlayDescriptor descriptor(DWORD capFlags = ovlport::capHostGeometry | ovlport::capHostKeyColor,
                                               DWORD format = ovlport::formatRgb565) {
    ovlport::OverlayDescriptor d;
    std::memset(&d, 0, sizeof d);
    d.ownerWindow = 0x1234;
    d.caps.formats = format;
    d.caps.format = format;
    d.caps.capFlags = capFlags;
    d.caps.keyColor = 0xF81F;
    ovlport::OverlayWindow& w = d.window;
    w.frameWidth = 640;
    w.frameHeight = 480;
    w.captureRect = {0, 0, 640, 480};
    w.surfaceSize = {320, 240};
    w.imageRect = {0, 0, 320, 240};
    w.displayRect = {0, 0, 320, 240};
    w.destRect = {100, 100, 420, 340};
    return d;
  }

  // Opens an overlay object through the driver table; fails the test when
  // the open does not succeed.
  ovlport::OverlayObject* open(ovlport::OverlayDescriptor d) {
    ovlport::OverlayObject* object = nullptr;
    const LONG rc = table()->openOverlay(table(), &d, &object);
    EXPECT_EQ(rc, 0);
    return rc == 0 ? object : nullptr;
  }
  ovlport::OverlayObject* open() { return open(descriptor()); }

  // After close: no DirectDraw object left, no lock held, and of global
  // memory only the closed object's block (kept readable until the next
  // open).
  void expectBooksBalanced() {
    EXPECT_EQ(directDraw->liveObjects(), 0);
    EXPECT_EQ(directDraw->heldLocks(), 0);
    EXPECT_LE(memory->liveBlocks(), 1u);
    EXPECT_EQ(state.openObjects, 0);
  }

  ovlport::DriverState& state = ovlport::driverState;
  std::unique_ptr<sim::DisplayController> controller;
  std::unique_ptr<sim::SimScreen> screen;
  std::unique_ptr<sim::SimDirectDraw> directDraw;
  std::unique_ptr<sim::SimGlobalMemory> memory;
};

}  // namespace ovlport_test
