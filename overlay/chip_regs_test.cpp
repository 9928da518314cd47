// Port primitives, the unlock bracket, controller detection and the screen
// query.
#include "overlay/chip_regs.h"

#include <vector>

#include "overlay/test_notebook.h"

namespace ovlport_test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using Access = sim::PortAccess;
using Kind = sim::PortAccess::Kind;

Access in8(WORD port, WORD value) { return {Kind::in8, port, value}; }
Access out8(WORD port, WORD value) { return {Kind::out8, port, value}; }
Access out16(WORD port, WORD value) { return {Kind::out16, port, value}; }

class ChipRegsTest : public DriverTest {
 protected:
  void SetUp() override {
    load();
    controller->clearLog();
  }
};

TEST_F(ChipRegsTest, PrimitivesUseOneIndexedAccessWithTheLowBytes) {
  controller->graphics(0x0A) = 0x5A;
  controller->sequencer(0x07) = 0xC3;  // below the overlay registers

  ovlport::writeGraphicsReg(0x109, 0x2AB);
  EXPECT_EQ(ovlport::readGraphicsReg(0x10A), 0x5A);
  EXPECT_EQ(ovlport::readSequencerReg(0x107), 0xC3);

  EXPECT_THAT(controller->portAccesses(),
              ElementsAre(out16(0x3CE, 0xAB09), out8(0x3CE, 0x0A), in8(0x3CF, 0x5A), out8(0x3C4, 0x07),
                          in8(0x3C5, 0xC3)));
  EXPECT_EQ(controller->graphics(0x09), 0xAB);
}

TEST_F(ChipRegsTest, SequencerWriteTakesTheLowByteOfTheValue) {
  const WORD saved = ovlport::unlockOverlayRegs();
  controller->clearLog();
  ovlport::writeSequencerReg(0x17, 0x1234);
  EXPECT_THAT(controller->portAccesses(), ElementsAre(out16(0x3C4, 0x3417)));
  EXPECT_EQ(controller->sequencer(0x17), 0x34);
  ovlport::restoreOverlayRegs(saved);
}

TEST_F(ChipRegsTest, UnlockSetsTheBitsAndRestorePutsTheOldValuesBackRegister0AFirst) {
  controller->graphics(0x09) = 0x41;
  controller->graphics(0x0A) = 0x02;

  const WORD saved = ovlport::unlockOverlayRegs();
  EXPECT_EQ(saved, 0x0241);
  EXPECT_EQ(controller->graphics(0x09), 0x67);
  EXPECT_EQ(controller->graphics(0x0A), 0x22);
  ovlport::restoreOverlayRegs(saved);

  EXPECT_THAT(controller->portAccesses(),
              ElementsAre(out8(0x3CE, 0x09), in8(0x3CF, 0x41), out16(0x3CE, 0x6709),  // 0x09 | 0x26
                          out8(0x3CE, 0x0A), in8(0x3CF, 0x02), out16(0x3CE, 0x220A),  // 0x0A | 0x20
                          out16(0x3CE, 0x020A), out16(0x3CE, 0x4109)));
  EXPECT_EQ(controller->graphics(0x09), 0x41);
  EXPECT_EQ(controller->graphics(0x0A), 0x02);
}

TEST_F(ChipRegsTest, DetectionReadsTheCrtControllerInsideItsOwnBracket) {
  controller->graphics(0x09) = 0x80;
  controller->crtc(0x1A) = 0xE4;  // the upper three bits are not the generation
  state.controllerGeneration = 0;

  EXPECT_EQ(ovlport::detectController(), 1u);
  EXPECT_EQ(state.controllerGeneration, 4);
  EXPECT_THAT(controller->portAccesses(),
              ElementsAre(out8(0x3CE, 0x09), in8(0x3CF, 0x80), out16(0x3CE, 0xA609), out8(0x3D4, 0x1A),
                          in8(0x3D5, 0xE4), out16(0x3CE, 0x8009)));

  controller->crtc(0x1A) = 0x20;
  EXPECT_EQ(ovlport::detectController(), 0u);
  EXPECT_EQ(state.controllerGeneration, 0);
}

struct ScreenCase {
  int bitsPerPixel;
  int generation;  // reported by the controller
  LONG bytesPerPixel;
  DWORD defaultKey;
  WORD controllerGeneration;
  DWORD result;
};

// Test names show the depth and generation, not the case's bytes.
void PrintTo(const ScreenCase& c, std::ostream* os) {
  *os << c.bitsPerPixel << " bits, generation " << c.generation;
}

class QueryScreenTest : public DriverTest, public ::testing::WithParamInterface<ScreenCase> {};

TEST_P(QueryScreenTest, ProcessAttachFillsTheScreenFieldsAndOverlaySupported) {
  const ScreenCase& c = GetParam();
  load(display(c.generation, c.bitsPerPixel, 800, 600));

  EXPECT_EQ(state.bytesPerPixel, c.bytesPerPixel);
  EXPECT_EQ(state.defaultKey, c.defaultKey);
  EXPECT_EQ(state.controllerGeneration, c.controllerGeneration);
  EXPECT_EQ(state.overlaySupported, c.result);
  EXPECT_EQ(state.screenWidth, 800);
  EXPECT_EQ(state.screenHeight, 600);
  EXPECT_EQ(state.appliedKey, 0xFF000000u);
  // One device context, released after the three queries.
  EXPECT_THAT(screen->calls, ElementsAre("GetDC", "GetDeviceCaps(12)", "GetDeviceCaps(8)", "GetDeviceCaps(10)",
                                         "ReleaseDC"));
  // The controller is asked only when the depth leaves the generation unknown.
  const bool detected = !controller->portAccesses().empty();
  EXPECT_EQ(detected, c.bitsPerPixel >= 8 && c.bitsPerPixel < 32);
}

INSTANTIATE_TEST_SUITE_P(Depths, QueryScreenTest,
                         ::testing::Values(ScreenCase{8, 3, 1, 5, 3, 1},           //
                                           ScreenCase{16, 3, 2, 0xF81F, 3, 1},     //
                                           ScreenCase{24, 3, 3, 0xFF00FF, 3, 1},   //
                                           ScreenCase{15, 3, 1, 5, 3, 1},          // 15 >> 3 is 1
                                           ScreenCase{32, 3, 4, 0, 1, 0},          //
                                           ScreenCase{4, 3, 0, 0, 1, 0},           //
                                           ScreenCase{16, 2, 2, 0xF81F, 2, 0},     //
                                           ScreenCase{16, 0, 2, 0xF81F, 0, 0},     //
                                           ScreenCase{16, 7, 2, 0xF81F, 7, 1}));

TEST_F(DriverTest, ScreenSizeIsTruncatedToSixteenBits) {
  load(display(3, 16, 0x10280, 0x101E0));
  EXPECT_EQ(state.screenWidth, 0x0280);
  EXPECT_EQ(state.screenHeight, 0x01E0);
}

TEST_F(DriverTest, DetectionRunsOnlyWhileTheGenerationIsUnknown) {
  load(display(3, 16));
  controller->clearLog();
  screen->width = 1024;
  EXPECT_EQ(ovlport::queryScreen(), 1u);
  EXPECT_EQ(state.screenWidth, 1024);  // the screen is read again
  EXPECT_THAT(controller->portAccesses(), IsEmpty());
}

TEST_F(DriverTest, GenerationThatReadZeroIsDetectedAgain) {
  load(display(0, 16));
  controller->clearLog();
  controller->crtc(0x1A) = 3;
  EXPECT_EQ(ovlport::queryScreen(), 1u);
  EXPECT_EQ(state.controllerGeneration, 3);
  EXPECT_FALSE(controller->portAccesses().empty());
  EXPECT_EQ(state.overlaySupported, 0u);  // set at process attach only
}

TEST_F(DriverTest, UnsupportedDepthForcesGenerationOneForGood) {
  load(display(3, 16));
  ASSERT_EQ(state.overlaySupported, 1u);

  screen->bitsPerPixel = 32;
  EXPECT_EQ(ovlport::queryScreen(), 0u);
  EXPECT_EQ(state.controllerGeneration, 1);
  EXPECT_EQ(state.defaultKey, 0xF81Fu);  // left as the 16-bit screen set it

  controller->clearLog();
  screen->bitsPerPixel = 16;
  EXPECT_EQ(ovlport::queryScreen(), 0u);
  EXPECT_EQ(state.controllerGeneration, 1);
  EXPECT_THAT(controller->portAccesses(), IsEmpty());
  EXPECT_EQ(state.overlaySupported, 1u);
}

TEST_F(DriverTest, UnsupportedDepthAtLoadStaysUnsupportedOnAGoodDepth) {
  load(display(3, 32));
  EXPECT_EQ(state.overlaySupported, 0u);
  screen->bitsPerPixel = 16;
  EXPECT_EQ(ovlport::queryScreen(), 0u);
  EXPECT_EQ(state.controllerGeneration, 1);
  EXPECT_EQ(state.bytesPerPixel, 2);
  EXPECT_EQ(state.defaultKey, 0xF81Fu);
}

}  // namespace
}  // namespace ovlport_test
