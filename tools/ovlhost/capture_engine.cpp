#include "capture_engine.h"

#include <algorithm>
#include <string>

namespace ovlhost {

namespace {

constexpr std::array<Rgb, 8> kBars = {{
    {255, 255, 255},  // white
    {255, 255, 0},    // yellow
    {0, 255, 255},    // cyan
    {0, 255, 0},      // green
    {255, 0, 255},    // magenta
    {255, 0, 0},      // red
    {0, 0, 255},      // blue
    {0, 0, 0},        // black
}};

// Digits 0-9, 3 x 5 cells, one row per entry, bit 2 the leftmost cell.
constexpr std::array<std::array<std::uint8_t, 5>, 10> kDigits = {{
    {7, 5, 5, 5, 7},
    {2, 6, 2, 2, 7},
    {7, 1, 7, 4, 7},
    {7, 1, 7, 1, 7},
    {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7},
    {7, 1, 1, 1, 1},
    {7, 5, 7, 5, 7},
    {7, 5, 7, 1, 7},
}};

constexpr int kGrid = 32;
constexpr int kCounterX = 8;
constexpr int kCounterY = 8;
constexpr int kCounterCell = 4;  // screen pixels per font cell

std::uint8_t clampByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

// Floor division by 256 for the fixed-point colour sums, negative ones too.
int shift8(int v) { return v >= 0 ? v / 256 : -((-v + 255) / 256); }

void store16(std::span<std::uint8_t> memory, std::uint64_t at, std::uint16_t value) {
  memory[at] = static_cast<std::uint8_t>(value & 0xFF);
  memory[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

CaptureSettings decodeCaptureRegisters(const CaptureRegisters& regs, int generation) {
  CaptureSettings s;
  const std::uint8_t control = reg(regs, 0x08);
  s.enabled = (control & 0x01) != 0;
  s.rgb565 = (control & 0x02) != 0;
  s.left = reg(regs, 0x17) | ((reg(regs, 0x19) & 0x0F) << 8);
  s.right = reg(regs, 0x18) | ((reg(regs, 0x19) >> 4) << 8);
  s.top = reg(regs, 0x14) | ((reg(regs, 0x16) & 0x0F) << 8);
  s.bottom = reg(regs, 0x15) | ((reg(regs, 0x16) >> 4) << 8);
  const std::uint8_t zoom = reg(regs, 0x0A);
  if (generation == 3) {
    s.elevenBit = false;
    s.hFactor = zoom & 0x07;
    s.vFactor = (zoom >> 4) & 0x07;
    s.scale = 8;
  } else {
    s.elevenBit = true;
    s.hFactor = ((zoom & 0x07u) << 8) | reg(regs, 0x1C);
    s.vFactor = (((zoom >> 4) & 0x07u) << 8) | reg(regs, 0x1D);
    s.scale = 2048;
  }
  s.keepH = s.scale - s.hFactor;
  s.keepV = s.scale - s.vFactor;
  s.startUnits = reg(regs, 0x0C) | (reg(regs, 0x0D) << 8) | (static_cast<std::uint32_t>(reg(regs, 0x0E)) << 16);
  s.pitchUnits = reg(regs, 0x1A) | ((reg(regs, 0x1B) & 0x7Fu) << 8);
  return s;
}

int reducedSize(int size, unsigned keep, unsigned scale) {
  if (size <= 0 || keep == 0 || scale == 0) return 0;
  const std::uint64_t product = static_cast<std::uint64_t>(size) * keep;
  return static_cast<int>((product + scale - 1) / scale);
}

Rgb testPicturePixel(int x, int y, int frameWidth, int frameHeight, std::uint32_t frameNumber) {
  if (x < 0 || y < 0 || x >= frameWidth || y >= frameHeight) return {};
  // The frame number, white on a black box.
  const std::string digits = std::to_string(frameNumber);
  const int boxWidth = (static_cast<int>(digits.size()) * 4 + 1) * kCounterCell;
  const int boxHeight = 7 * kCounterCell;
  if (x >= kCounterX && x < kCounterX + boxWidth && y >= kCounterY && y < kCounterY + boxHeight) {
    const int cellX = (x - kCounterX) / kCounterCell - 1;
    const int cellY = (y - kCounterY) / kCounterCell - 1;
    if (cellX >= 0 && cellY >= 0 && cellY < 5 && cellX % 4 != 3) {
      const std::size_t digit = static_cast<std::size_t>(cellX / 4);
      if (digit < digits.size()) {
        const auto& glyph = kDigits[static_cast<std::size_t>(digits[digit] - '0')];
        if ((glyph[static_cast<std::size_t>(cellY)] >> (2 - cellX % 4)) & 1) return {255, 255, 255};
      }
    }
    return {0, 0, 0};
  }
  const Rgb bar = kBars[static_cast<std::size_t>(static_cast<long long>(x) * 8 / frameWidth)];
  if (x % kGrid == 0 || y % kGrid == 0) {
    return {static_cast<std::uint8_t>(255 - bar.r), static_cast<std::uint8_t>(255 - bar.g),
            static_cast<std::uint8_t>(255 - bar.b)};
  }
  return bar;
}

std::uint16_t toRgb565(Rgb c) {
  return static_cast<std::uint16_t>(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
}

Rgb fromRgb565(std::uint16_t pixel) {
  const int r = (pixel >> 11) & 0x1F;
  const int g = (pixel >> 5) & 0x3F;
  const int b = pixel & 0x1F;
  return {static_cast<std::uint8_t>((r << 3) | (r >> 2)), static_cast<std::uint8_t>((g << 2) | (g >> 4)),
          static_cast<std::uint8_t>((b << 3) | (b >> 2))};
}

Yuv toYuv(Rgb c) {
  const int r = c.r;
  const int g = c.g;
  const int b = c.b;
  return {clampByte(shift8(66 * r + 129 * g + 25 * b + 128) + 16),
          clampByte(shift8(-38 * r - 74 * g + 112 * b + 128) + 128),
          clampByte(shift8(112 * r - 94 * g - 18 * b + 128) + 128)};
}

Rgb fromYuv(int y, int u, int v) {
  const int c = y - 16;
  const int d = u - 128;
  const int e = v - 128;
  return {clampByte(shift8(298 * c + 409 * e + 128)), clampByte(shift8(298 * c - 100 * d - 208 * e + 128)),
          clampByte(shift8(298 * c + 516 * d + 128))};
}

CaptureResult captureFrame(const CaptureRegisters& regs, int generation, int frameWidth, int frameHeight,
                           const FrameSource& source, std::span<std::uint8_t> videoMemory) {
  const CaptureSettings s = decodeCaptureRegisters(regs, generation);
  CaptureResult result;
  result.startByte = s.startUnits * 2;
  result.pitchBytes = s.pitchUnits * 2;
  const int windowWidth = s.right - s.left;
  const int windowHeight = s.bottom - s.top + 1;
  if (!s.enabled || windowWidth <= 0 || windowHeight <= 0) return result;
  result.width = reducedSize(windowWidth, s.keepH, s.scale);
  result.height = reducedSize(windowHeight, s.keepV, s.scale);
  result.stored = true;

  auto framePixel = [&](int x, int y) -> Rgb {
    if (x < 0 || y < 0 || x >= frameWidth || y >= frameHeight) return {};
    return source(x, y);
  };
  const std::uint64_t memorySize = videoMemory.size();
  for (int line = 0; line < result.height; ++line) {
    // Output line `line` is taken from window line line * scale / keep.
    const int y = s.top + static_cast<int>(static_cast<std::uint64_t>(line) * s.scale / s.keepV);
    const std::uint64_t lineStart =
        static_cast<std::uint64_t>(result.startByte) + static_cast<std::uint64_t>(line) * result.pitchBytes;
    Yuv pairChroma;
    for (int column = 0; column < result.width; ++column) {
      const int x = s.left + static_cast<int>(static_cast<std::uint64_t>(column) * s.scale / s.keepH);
      const Rgb colour = framePixel(x, y);
      std::uint16_t value;
      if (s.rgb565) {
        value = toRgb565(colour);
      } else {
        // YUY2: Y0 U Y1 V; the pair's chroma is sampled at its first pixel.
        const Yuv yuv = toYuv(colour);
        if (column % 2 == 0) pairChroma = yuv;
        const std::uint8_t chroma = column % 2 == 0 ? pairChroma.u : pairChroma.v;
        value = static_cast<std::uint16_t>(yuv.y | (chroma << 8));
      }
      const std::uint64_t at = lineStart + static_cast<std::uint64_t>(column) * 2;
      if (at + 2 > memorySize) {
        ++result.pixelsOutside;
        continue;
      }
      store16(videoMemory, at, value);
      ++result.pixelsStored;
    }
  }
  return result;
}

CaptureResult captureTestFrame(const CaptureRegisters& regs, int generation, int frameWidth, int frameHeight,
                               std::uint32_t frameNumber, std::span<std::uint8_t> videoMemory) {
  return captureFrame(
      regs, generation, frameWidth, frameHeight,
      [&](int x, int y) { return testPicturePixel(x, y, frameWidth, frameHeight, frameNumber); }, videoMemory);
}

}  // namespace ovlhost
