#include "capture_engine.h"

#include <gtest/gtest.h>

#include <vector>

namespace ovlhost {
namespace {

// A frame whose every pixel says where it came from: its RGB 5:6:5 word holds
// x bits 0-4 in red, y bits 0-5 in green and x bits 5-9 in blue.
Rgb coordinatePixel(int x, int y) {
  return {static_cast<std::uint8_t>((x & 31) << 3), static_cast<std::uint8_t>((y & 63) << 2),
          static_cast<std::uint8_t>(((x >> 5) & 31) << 3)};
}
std::uint16_t from(int x, int y) {
  return static_cast<std::uint16_t>(((x & 31) << 11) | ((y & 63) << 5) | ((x >> 5) & 31));
}

struct EngineSetup {
  int left, right, top, bottom;  // as programmed: bottom is the last line
  std::uint8_t zoom = 0, zoomH = 0, zoomV = 0;
  std::uint32_t startUnits = 0;
  std::uint32_t pitchUnits = 1024;
  std::uint8_t control = 0x23;  // enabled, RGB 5:6:5
};

CaptureRegisters program(const EngineSetup& s) {
  CaptureRegisters regs{};
  setReg(regs, 0x08, s.control);
  setReg(regs, 0x09, 0x11);
  setReg(regs, 0x0A, s.zoom);
  setReg(regs, 0x0C, static_cast<std::uint8_t>(s.startUnits));
  setReg(regs, 0x0D, static_cast<std::uint8_t>(s.startUnits >> 8));
  setReg(regs, 0x0E, static_cast<std::uint8_t>(s.startUnits >> 16));
  setReg(regs, 0x14, static_cast<std::uint8_t>(s.top));
  setReg(regs, 0x15, static_cast<std::uint8_t>(s.bottom));
  setReg(regs, 0x16, static_cast<std::uint8_t>(((s.bottom >> 8) << 4) | ((s.top >> 8) & 0x0F)));
  setReg(regs, 0x17, static_cast<std::uint8_t>(s.left));
  setReg(regs, 0x18, static_cast<std::uint8_t>(s.right));
  setReg(regs, 0x19, static_cast<std::uint8_t>(((s.right >> 8) << 4) | ((s.left >> 8) & 0x0F)));
  setReg(regs, 0x1A, static_cast<std::uint8_t>(s.pitchUnits));
  setReg(regs, 0x1B, static_cast<std::uint8_t>(s.pitchUnits >> 8));
  setReg(regs, 0x1C, s.zoomH);
  setReg(regs, 0x1D, s.zoomV);
  return regs;
}

std::uint16_t word(const std::vector<std::uint8_t>& memory, std::size_t at) {
  return static_cast<std::uint16_t>(memory.at(at) | (memory.at(at + 1) << 8));
}

TEST(CaptureEngine, CutsTheWindowAndStoresItAtTheBufferStartAndPitch) {
  // The registers of setCaptureWindow(100, 50, 740, 529) and of a buffer at
  // byte 614400 with a 1280-byte pitch.
  CaptureRegisters regs{};
  const std::array<std::pair<int, std::uint8_t>, 12> writes = {{{0x08, 0x23},
                                                                {0x17, 0x64},
                                                                {0x18, 0xE4},
                                                                {0x19, 0x20},
                                                                {0x14, 0x32},
                                                                {0x15, 0x11},
                                                                {0x16, 0x20},
                                                                {0x0C, 0x00},
                                                                {0x0D, 0xB0},
                                                                {0x0E, 0x04},
                                                                {0x1A, 0x80},
                                                                {0x1B, 0x82}}};  // bit 7 of 0x1B is not pitch
  for (auto [index, value] : writes) setReg(regs, index, value);
  const std::size_t start = 614400;
  std::vector<std::uint8_t> memory(start + 481 * 1280, 0xEE);
  const CaptureResult r = captureFrame(regs, 3, 800, 600, coordinatePixel, memory);
  EXPECT_TRUE(r.stored);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  EXPECT_EQ(r.startByte, start);
  EXPECT_EQ(r.pitchBytes, 1280u);
  EXPECT_EQ(r.pixelsStored, 640u * 480u);
  EXPECT_EQ(memory.at(start - 1), 0xEE);
  EXPECT_EQ(word(memory, start), from(100, 50));
  EXPECT_EQ(word(memory, start + 2 * 639), from(739, 50));
  EXPECT_EQ(word(memory, start + 1280 + 2 * 5), from(105, 51));
  EXPECT_EQ(word(memory, start + 479 * 1280 + 2 * 639), from(739, 529));
  EXPECT_EQ(memory.at(start + 480 * 1280), 0xEE);
}

// Each reduction factor in both layouts: the stored size, and the frame
// pixel that a stored pixel came from.
struct ReductionCase {
  const char* name;
  int generation;
  int windowWidth;
  int windowHeight;
  std::uint8_t zoom, zoomH, zoomV;
  int width, height;         // stored size
  int column, line;          // a stored pixel...
  int fromColumn, fromLine;  // ...and the window pixel it shows
};

// Test names show the case's name, not its bytes.
void PrintTo(const ReductionCase& c, std::ostream* os) { *os << c.name; }

class Reduction : public ::testing::TestWithParam<ReductionCase> {};

TEST_P(Reduction, KeepsTheFactorsShareOfPixelsAndLines) {
  const ReductionCase& c = GetParam();
  EngineSetup s{.left = 16, .right = 16 + c.windowWidth, .top = 8, .bottom = 8 + c.windowHeight - 1};
  s.zoom = c.zoom;
  s.zoomH = c.zoomH;
  s.zoomV = c.zoomV;
  std::vector<std::uint8_t> memory(2048 * 700, 0);
  const CaptureResult r = captureFrame(program(s), c.generation, 1000, 1000, coordinatePixel, memory);
  EXPECT_EQ(r.width, c.width);
  EXPECT_EQ(r.height, c.height);
  EXPECT_EQ(word(memory, static_cast<std::size_t>(c.line) * 2048 + 2 * static_cast<std::size_t>(c.column)),
            from(16 + c.fromColumn, 8 + c.fromLine));
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, Reduction,
                         ::testing::Values(
                             // Generation 3: the engine keeps 8 - f of every 8 pixels.  The 11-bit
                             // registers 0x1C and 0x1D mean nothing there.
                             ReductionCase{"gen3_none", 3, 640, 480, 0x00, 0xFF, 0xFF, 640, 480, 7, 9, 7, 9},
                             ReductionCase{"gen3_h4_half", 3, 640, 480, 0x04, 0, 0, 320, 480, 3, 5, 6, 5},
                             ReductionCase{"gen3_h2_three_quarters", 3, 640, 480, 0x02, 0, 0, 480, 480, 3, 0, 4, 0},
                             ReductionCase{"gen3_h7_eighth", 3, 640, 480, 0x07, 0, 0, 80, 480, 1, 0, 8, 0},
                             ReductionCase{"gen3_h6_quarter", 3, 640, 480, 0x06, 0, 0, 160, 480, 1, 0, 4, 0},
                             ReductionCase{"gen3_v4_half", 3, 640, 480, 0x40, 0, 0, 640, 240, 0, 1, 0, 2},
                             ReductionCase{"gen3_v6_quarter", 3, 640, 480, 0x60, 0, 0, 640, 120, 0, 3, 0, 12},
                             ReductionCase{"gen3_636_to_318", 3, 636, 480, 0x44, 0, 0, 318, 240, 317, 239, 634, 478},
                             // Other generations: 11-bit factors, keeping 2048 - f of every 2048.
                             ReductionCase{"gen4_none", 4, 640, 480, 0x00, 0, 0, 640, 480, 7, 9, 7, 9},
                             ReductionCase{"gen4_h400_half", 4, 640, 480, 0x04, 0x00, 0, 320, 480, 3, 0, 6, 0},
                             ReductionCase{"gen4_h200", 4, 640, 480, 0x02, 0x00, 0, 480, 480, 3, 0, 4, 0},
                             ReductionCase{"gen4_h080", 4, 640, 480, 0x00, 0x80, 0, 600, 480, 15, 0, 16, 0},
                             ReductionCase{"gen4_h740", 4, 640, 480, 0x07, 0x40, 0, 60, 480, 1, 0, 10, 0},
                             ReductionCase{"gen4_642_to_400", 4, 642, 480, 0x03, 0x04, 0, 400, 480, 399, 0, 640, 0},
                             ReductionCase{"gen4_v400_half", 4, 640, 480, 0x40, 0, 0x00, 640, 240, 0, 1, 0, 2},
                             ReductionCase{"gen4_v_low_byte", 4, 640, 480, 0x00, 0, 0x80, 640, 450, 0, 15, 0, 16}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureEngine, StoresYuy2PairsWithTheChromaOfTheirFirstPixel) {
  // Red pixels at even columns, white ones at odd columns.
  auto source = [](int x, int) { return x % 2 == 0 ? Rgb{255, 0, 0} : Rgb{255, 255, 255}; };
  EngineSetup s{.left = 0, .right = 3, .top = 0, .bottom = 0};
  s.control = 0x21;  // enabled, YUY2
  std::vector<std::uint8_t> memory(16, 0xEE);
  captureFrame(program(s), 3, 8, 8, source, memory);
  // Red is Y 82, U 90, V 240; white is Y 235.  The odd third pixel starts a
  // pair of its own and carries U.
  EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + 7),
            (std::vector<std::uint8_t>{82, 90, 235, 240, 82, 90, 0xEE}));
  EXPECT_EQ(toYuv({255, 255, 255}), (Yuv{235, 128, 128}));
  EXPECT_EQ(toYuv({0, 0, 0}), (Yuv{16, 128, 128}));
  EXPECT_EQ(fromYuv(235, 128, 128), (Rgb{255, 255, 255}));
  EXPECT_EQ(fromYuv(16, 128, 128), (Rgb{0, 0, 0}));
}

TEST(CaptureEngine, StoresRgb565LittleEndian) {
  auto source = [](int, int) { return Rgb{255, 0, 0}; };
  EngineSetup s{.left = 0, .right = 1, .top = 0, .bottom = 0};
  std::vector<std::uint8_t> memory(4, 0xEE);
  captureFrame(program(s), 4, 8, 8, source, memory);
  EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.end()),
            (std::vector<std::uint8_t>{0x00, 0xF8, 0xEE, 0xEE}));
  EXPECT_EQ(toRgb565({0, 255, 0}), 0x07E0);
  EXPECT_EQ(fromRgb565(0xF81F), (Rgb{255, 0, 255}));
}

TEST(CaptureEngine, SmallPitchAndStartLeaveTheGapsAlone) {
  // Start at unit 5 (byte 10), pitch 8 units (16 bytes), a 3 x 2 window.
  EngineSetup s{.left = 2, .right = 5, .top = 1, .bottom = 2, .startUnits = 5, .pitchUnits = 8};
  std::vector<std::uint8_t> memory(48, 0xEE);
  const CaptureResult r = captureFrame(program(s), 3, 8, 8, coordinatePixel, memory);
  EXPECT_EQ(r.pixelsStored, 6u);
  EXPECT_EQ(word(memory, 10), from(2, 1));
  EXPECT_EQ(word(memory, 14), from(4, 1));
  EXPECT_EQ(word(memory, 16), 0xEEEE);
  EXPECT_EQ(word(memory, 24), 0xEEEE);
  EXPECT_EQ(word(memory, 26), from(2, 2));
  EXPECT_EQ(word(memory, 30), from(4, 2));
  EXPECT_EQ(word(memory, 32), 0xEEEE);
}

TEST(CaptureEngine, DropsPixelsBeyondTheMemoryAndBlacksOutBeyondTheFrame) {
  // The second line would end past the memory; the window's third column
  // lies beyond a 2-pixel frame.
  EngineSetup s{.left = 0, .right = 3, .top = 0, .bottom = 1, .startUnits = 0, .pitchUnits = 4};
  std::vector<std::uint8_t> memory(12, 0xEE);
  const CaptureResult r = captureFrame(
      program(s), 3, 2, 8,
      [](int, int) {
        return Rgb{255, 255, 255};
      },
      memory);
  EXPECT_EQ(r.pixelsStored, 5u);
  EXPECT_EQ(r.pixelsOutside, 1u);
  EXPECT_EQ(word(memory, 0), 0xFFFF);
  EXPECT_EQ(word(memory, 4), 0x0000);  // beyond the frame
  EXPECT_EQ(word(memory, 6), 0xEEEE);  // between the lines
  EXPECT_EQ(word(memory, 8), 0xFFFF);
  EXPECT_EQ(word(memory, 10), 0xFFFF);
}

TEST(CaptureEngine, StoresNothingWhileDisabledOrWithAnEmptyWindow) {
  std::vector<std::uint8_t> memory(64, 0xEE);
  EngineSetup off{.left = 0, .right = 4, .top = 0, .bottom = 3};
  off.control = 0x22;
  EXPECT_FALSE(captureFrame(program(off), 3, 8, 8, coordinatePixel, memory).stored);
  EngineSetup empty{.left = 4, .right = 4, .top = 0, .bottom = 3};
  EXPECT_FALSE(captureFrame(program(empty), 3, 8, 8, coordinatePixel, memory).stored);
  EngineSetup upside{.left = 0, .right = 4, .top = 3, .bottom = 1};
  EXPECT_FALSE(captureFrame(program(upside), 3, 8, 8, coordinatePixel, memory).stored);
  EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.end()), std::vector<std::uint8_t>(64, 0xEE));
}

TEST(TestPicture, BarsGridAndFrameNumber) {
  // 640 wide: bars of 80 pixels; grid lines every 32.
  EXPECT_EQ(testPicturePixel(85, 100, 640, 480, 0), (Rgb{255, 255, 0}));    // yellow bar
  EXPECT_EQ(testPicturePixel(96, 100, 640, 480, 0), (Rgb{0, 0, 255}));      // grid line over yellow
  EXPECT_EQ(testPicturePixel(330, 100, 640, 480, 0), (Rgb{255, 0, 255}));   // magenta bar
  EXPECT_EQ(testPicturePixel(639, 479, 640, 480, 0), (Rgb{0, 0, 0}));       // black bar
  EXPECT_EQ(testPicturePixel(600, 64, 640, 480, 0), (Rgb{255, 255, 255}));  // grid line over black
  // Frame 7: the box at (8, 8); the digit's top-left cell is lit, the cell
  // below it is not ("7" is a bar and a right stroke).
  EXPECT_EQ(testPicturePixel(8, 8, 640, 480, 7), (Rgb{0, 0, 0}));
  EXPECT_EQ(testPicturePixel(12, 12, 640, 480, 7), (Rgb{255, 255, 255}));
  EXPECT_EQ(testPicturePixel(12, 16, 640, 480, 7), (Rgb{0, 0, 0}));
  EXPECT_EQ(testPicturePixel(20, 16, 640, 480, 7), (Rgb{255, 255, 255}));
  EXPECT_EQ(testPicturePixel(700, 0, 640, 480, 7), (Rgb{0, 0, 0}));  // outside the frame
}

}  // namespace
}  // namespace ovlhost
