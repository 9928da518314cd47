// A simulated notebook for the driver's unit tests: the display controller
// and the screen, put in place of the platform, and the driver loaded afresh
// on them.  Every test ends with no overlay register reached outside the
// unlock bracket and no device context left open.
#pragma once

#include <memory>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"
#include "sim/display_sim.h"

namespace ovlport_test {

class DriverTest : public ::testing::Test {
 protected:
  // Builds the notebook with this display and runs process attach on a fresh
  // DriverState.
  void load(const sim::DisplayProfile& display) {
    controller = std::make_unique<sim::DisplayController>(display);
    screen = std::make_unique<sim::SimScreen>(display);
    ovlport::driverPlatform.ports = controller.get();
    ovlport::driverPlatform.screen = screen.get();
    ovlport::testing::reloadDriver();
  }
  void load() { load(sim::DisplayProfile{}); }

  void TearDown() override {
    if (controller) {
      EXPECT_THAT(controller->violations(), ::testing::IsEmpty());
    }
    if (screen) {
      EXPECT_EQ(screen->openDCs(), 0);
    }
    ovlport::driverPlatform = {};
  }

  static sim::DisplayProfile display(int generation, int bitsPerPixel, int width = 640, int height = 480) {
    sim::DisplayProfile profile;
    profile.generation = generation;
    profile.bitsPerPixel = bitsPerPixel;
    profile.width = width;
    profile.height = height;
    return profile;
  }

  ovlport::DriverState& state = ovlport::driverState;
  std::unique_ptr<sim::DisplayController> controller;
  std::unique_ptr<sim::SimScreen> screen;
};

}  // namespace ovlport_test
