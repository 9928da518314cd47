// Overlay register programming: each routine's exact register accesses,
// inside one unlock bracket that leaves graphics controller 0x09 and 0x0A as
// they were.
#include "overlay/overlay_regs.h"

#include <functional>
#include <string>
#include <vector>

#include "overlay/test_notebook.h"

namespace ovlport_test {
namespace {

using ::testing::ElementsAreArray;
using Reg = sim::RegisterAccess;
using Space = sim::RegisterSpace;

Reg seqRead(BYTE index, BYTE value) { return {Space::sequencer, index, value, false}; }
Reg seqWrite(BYTE index, BYTE value) { return {Space::sequencer, index, value, true}; }

constexpr BYTE oldGraphics09 = 0x41;
constexpr BYTE oldGraphics0A = 0x02;

class OverlayRegsTest : public DriverTest {
 protected:
  void SetUp() override { loadGeneration(3); }

  void loadGeneration(int generation) {
    load(display(generation, 16));
    controller->graphics(0x09) = oldGraphics09;
    controller->graphics(0x0A) = oldGraphics0A;
    controller->clearLog();
  }

  // The register accesses of one routine: the unlock, the given sequencer
  // accesses and nothing else, and the restore (0x0A first).
  void expectOneBracket(const std::vector<Reg>& sequencerAccesses) {
    std::vector<Reg> expected = {
        {Space::graphics, 0x09, oldGraphics09, false},       {Space::graphics, 0x09, oldGraphics09 | 0x26, true},
        {Space::graphics, 0x0A, oldGraphics0A, false},       {Space::graphics, 0x0A, oldGraphics0A | 0x20, true}};
    expected.insert(expected.end(), sequencerAccesses.begin(), sequencerAccesses.end());
    expected.push_back({Space::graphics, 0x0A, oldGraphics0A, true});
    expected.push_back({Space::graphics, 0x09, oldGraphics09, true});
    EXPECT_THAT(controller->registerAccesses(), ElementsAreArray(expected));
    EXPECT_EQ(controller->graphics(0x09), oldGraphics09);
    EXPECT_EQ(controller->graphics(0x0A), oldGraphics0A);
  }
};

struct ControlCase {
  const char* name;
  BYTE reg08;
  BYTE reg09;
  WORD value;
  WORD mask;
  std::vector<Reg> accesses;
};

TEST_F(OverlayRegsTest, SetOverlayControlWriteOrderAndBit12) {
  const std::vector<ControlCase> cases = {
      {"show: 0x09 before 0x08", 0x62, 0x11, 1, 1,
       {seqRead(0x08, 0x62), seqRead(0x09, 0x11), seqWrite(0x09, 0x11), seqWrite(0x08, 0x63)}},
      {"hide: 0x08 before 0x09", 0x63, 0x11, 0, 1,
       {seqRead(0x08, 0x63), seqWrite(0x08, 0x62), seqRead(0x09, 0x11), seqWrite(0x09, 0x11)}},
      {"whole word without pattern: bit 12 dropped", 0x00, 0x00, 0x1122, 0xFFFF,
       {seqRead(0x08, 0x00), seqWrite(0x08, 0x22), seqRead(0x09, 0x00), seqWrite(0x09, 0x01)}},
      {"whole word with pattern, engine on", 0x00, 0x00, 0x11C3, 0xFFFF,
       {seqRead(0x08, 0x00), seqRead(0x09, 0x00), seqWrite(0x09, 0x11), seqWrite(0x08, 0xC3)}},
      {"bit 12 outside the mask is kept", 0x00, 0x10, 0x0000, 0x0001,
       {seqRead(0x08, 0x00), seqWrite(0x08, 0x00), seqRead(0x09, 0x10), seqWrite(0x09, 0x10)}},
  };
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(c.name);
    loadGeneration(3);
    controller->sequencer(0x08) = c.reg08;
    controller->sequencer(0x09) = c.reg09;
    ovlport::setOverlayControl(c.value, c.mask);
    expectOneBracket(c.accesses);
  }
}

TEST_F(OverlayRegsTest, SetCaptureWindowSplitsTwelveBitEdges) {
  ovlport::setCaptureWindow(100, 50, 740, 529);
  expectOneBracket({seqWrite(0x17, 0x64), seqWrite(0x18, 0xE4), seqWrite(0x19, 0x20), seqWrite(0x14, 0x32),
                    seqWrite(0x15, 0x11), seqWrite(0x16, 0x20)});

  // Only bits 0-11 of each edge reach the registers.
  controller->clearLog();
  ovlport::setCaptureWindow(-1, 0x1ABC, 0x2FFF, 0x123);
  expectOneBracket({seqWrite(0x17, 0xFF), seqWrite(0x18, 0xFF), seqWrite(0x19, 0xFF), seqWrite(0x14, 0xBC),
                    seqWrite(0x15, 0x23), seqWrite(0x16, 0x1A)});
}

struct BufferCase {
  DWORD base;
  WORD x, y, pitch;
  BYTE start0C, start0D, start0E, pitch1A, pitch1B;
};

TEST_F(OverlayRegsTest, SetBufferStartCountsTwoByteUnits) {
  const std::vector<BufferCase> cases = {
      // Just past a 640 x 480 screen of 16-bit pixels: address 307200.
      {614400, 0, 0, 1280, 0x00, 0xB0, 0x04, 0x80, 0x02},
      // (0 + 2 * 1280 + 2 * 10) / 2 = 1290.
      {0, 10, 2, 1280, 0x0A, 0x05, 0x00, 0x80, 0x02},
      // Wraps at 32 bits: (0xFFFFFFFF + 0xFFFF * 0xFFFF + 2 * 0xFFFF) mod 2^32 = 0xFFFFFFFF, halved.
      {0xFFFFFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
  };
  for (const BufferCase& c : cases) {
    SCOPED_TRACE(c.base);
    controller->clearLog();
    ovlport::setBufferStart(c.base, c.x, c.y, c.pitch);
    expectOneBracket({seqWrite(0x0C, c.start0C), seqWrite(0x0D, c.start0D), seqWrite(0x0E, c.start0E),
                      seqWrite(0x1A, c.pitch1A), seqWrite(0x1B, c.pitch1B)});
  }
}

struct ScaleCase {
  LONG capture;
  LONG image;
  WORD threeBit;
  WORD elevenBit;
};

// One axis against the other held at 480 -> 240 (3-bit factor 4, 11-bit 0x400).
const std::vector<ScaleCase> scaleCases = {
    {640, 640, 0, 0},      {640, 320, 4, 0x400}, {640, 480, 2, 0x200}, {640, 600, 0, 0x080},
    {640, 60, 7, 0x740},   {642, 400, 0, 0x304}, {641, 320, 0, 0x402},
    {641, 641, 0, 0},      {644, 300, 4, 0x446},  // a multiple of 4: unit 161, step 2
    {640, 1000, 3, 0xFB80},                        // an enlargement wraps both forms
    // Extremes compute in defined 32-bit arithmetic, without a long loop.
    {8, 0x7FFFFFFF, 1, 0x0900},
    {3, 0x7FFFFFFF, 0, 0x0AAA},
    {-640, 100, 7, 0x0940},  // a capture turned inside out: no step is counted
    {0, 5, 7, 0},            // an empty capture: no unit to step by, and no division by zero
};

TEST_F(OverlayRegsTest, ComputeScaleOnGeneration3WritesThreeBitFactors) {
  for (const ScaleCase& c : scaleCases) {
    SCOPED_TRACE(std::to_string(c.capture) + " -> " + std::to_string(c.image));
    controller->clearLog();
    ovlport::computeScale(c.capture, 480, c.image, 240);
    expectOneBracket({seqWrite(0x0A, static_cast<BYTE>(4 << 4 | c.threeBit))});
    controller->clearLog();
    ovlport::computeScale(480, c.capture, 240, c.image);
    expectOneBracket({seqWrite(0x0A, static_cast<BYTE>(c.threeBit << 4 | 4))});
  }
}

TEST_F(OverlayRegsTest, ComputeScaleOnOtherGenerationsWritesElevenBitFactors) {
  loadGeneration(4);
  for (const ScaleCase& c : scaleCases) {
    SCOPED_TRACE(std::to_string(c.capture) + " -> " + std::to_string(c.image));
    controller->clearLog();
    ovlport::computeScale(c.capture, 480, c.image, 240);
    expectOneBracket({seqWrite(0x0A, static_cast<BYTE>(4 << 4 | (c.elevenBit >> 8 & 7))),
                      seqWrite(0x1C, static_cast<BYTE>(c.elevenBit & 0xFF)), seqWrite(0x1D, 0x00)});
    controller->clearLog();
    ovlport::computeScale(480, c.capture, 240, c.image);
    expectOneBracket({seqWrite(0x0A, static_cast<BYTE>((c.elevenBit >> 8 & 7) << 4 | 4)), seqWrite(0x1C, 0x00),
                      seqWrite(0x1D, static_cast<BYTE>(c.elevenBit & 0xFF))});
  }
}

TEST_F(OverlayRegsTest, ComputeScaleOfAnEmptyCaptureProgramsNoReduction) {
  loadGeneration(4);
  ovlport::computeScale(0, 0, 5, 0);
  expectOneBracket({seqWrite(0x0A, 0x00), seqWrite(0x1C, 0x00), seqWrite(0x1D, 0x00)});
}

TEST_F(OverlayRegsTest, Register0BAndRegister1F) {
  ovlport::setSequencer0B(0xFF);
  expectOneBracket({seqWrite(0x0B, 0x03)});
  controller->clearLog();
  ovlport::setSequencer0B(2);
  expectOneBracket({seqWrite(0x0B, 0x02)});
  controller->clearLog();
  ovlport::presetSequencer1F();
  expectOneBracket({seqWrite(0x1F, 0x02)});
}

TEST_F(OverlayRegsTest, ScaleRoutinesMaskTheirFactors) {
  ovlport::setScale3Bit(0xFF, 0x0A);
  expectOneBracket({seqWrite(0x0A, 0x27)});
  controller->clearLog();
  ovlport::setScale11Bit(0x0F12, 0x0834);
  expectOneBracket({seqWrite(0x0A, 0x07), seqWrite(0x1C, 0x12), seqWrite(0x1D, 0x34)});
}

}  // namespace
}  // namespace ovlport_test
