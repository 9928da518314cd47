// A model of the display controller's capture engine, as its sequencer
// registers 0x08 to 0x1F describe it.
//
// When the engine is enabled (control bit 0) it takes one video frame, cuts
// the capture window out of it, reduces the window by the horizontal and
// vertical factors, converts the pixels to RGB 5:6:5 or YUY2 (control bit 1)
// and stores the picture at the buffer start and pitch, both counted in
// 2-byte units from the start of the screen memory.  The model is written
// from the register map alone, so that a picture made with it shows what the
// driver really programmed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace ovlhost {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Sequencer registers 0x08 to 0x1F of the overlay engine.
inline constexpr int kFirstCaptureRegister = 0x08;
inline constexpr int kLastCaptureRegister = 0x1F;
using CaptureRegisters = std::array<std::uint8_t, kLastCaptureRegister - kFirstCaptureRegister + 1>;

inline std::uint8_t reg(const CaptureRegisters& regs, int index) { return regs.at(index - kFirstCaptureRegister); }
inline void setReg(CaptureRegisters& regs, int index, std::uint8_t value) {
  regs.at(index - kFirstCaptureRegister) = value;
}

// The engine's settings, decoded from the registers.
struct CaptureSettings {
  bool enabled = false;  // control bit 0
  bool rgb565 = false;   // control bit 1: RGB 5:6:5, else YUY2
  // Capture window in frame pixels and lines.  The engine counts columns
  // from left up to (not including) right and lines from top through bottom:
  // the driver programs a rectangle's right edge as it is and its bottom edge
  // minus one.
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
  // Reduction: the engine keeps keepH of every scale pixels across and keepV
  // of every scale lines down (scale 8 for the 3-bit factors, 2048 for the
  // 11-bit ones).
  bool elevenBit = false;
  unsigned hFactor = 0;
  unsigned vFactor = 0;
  unsigned scale = 8;
  unsigned keepH = 8;
  unsigned keepV = 8;
  std::uint32_t startUnits = 0;  // buffer start, 2-byte units (24 bits)
  std::uint32_t pitchUnits = 0;  // buffer pitch, 2-byte units (15 bits)
};

// Generation 3 reads the 3-bit factors of register 0x0A; the other
// generations read 11-bit factors, bits 8-10 in 0x0A and bits 0-7 in 0x1C
// (horizontal) and 0x1D (vertical).
CaptureSettings decodeCaptureRegisters(const CaptureRegisters& regs, int generation);

// Size of the stored picture for a window of `size` pixels kept at keep/scale.
int reducedSize(int size, unsigned keep, unsigned scale);

// The deterministic test picture: eight colour bars (white, yellow, cyan,
// green, magenta, red, blue, black) across the frame, a grid of inverted
// lines every 32 pixels, and the frame number in a black box at the top left.
Rgb testPicturePixel(int x, int y, int frameWidth, int frameHeight, std::uint32_t frameNumber);

// The video source: the colour of frame pixel (x, y).
using FrameSource = std::function<Rgb(int x, int y)>;

// Pixel conversions the engine does: RGB 5:6:5, and YUY2 (ITU-R BT.601,
// studio range; the chroma of a pixel pair is taken at its first pixel).
std::uint16_t toRgb565(Rgb c);
struct Yuv {
  std::uint8_t y = 0;
  std::uint8_t u = 0;
  std::uint8_t v = 0;
  friend bool operator==(const Yuv&, const Yuv&) = default;
};
Yuv toYuv(Rgb c);
Rgb fromYuv(int y, int u, int v);
Rgb fromRgb565(std::uint16_t pixel);

struct CaptureResult {
  bool stored = false;  // the engine was enabled and the window not empty
  int width = 0;        // stored picture, pixels
  int height = 0;       // stored picture, lines
  std::uint32_t startByte = 0;
  std::uint32_t pitchBytes = 0;
  std::uint64_t pixelsStored = 0;
  std::uint64_t pixelsOutside = 0;  // fell beyond the end of the video memory
};

// Stores one frame of frameWidth x frameHeight from the source into the video
// memory (byte 0 is the start of the screen memory).  Window pixels beyond
// the frame are black; pixels that would land beyond the memory are dropped.
CaptureResult captureFrame(const CaptureRegisters& regs, int generation, int frameWidth, int frameHeight,
                           const FrameSource& source, std::span<std::uint8_t> videoMemory);

// The same with the test picture as the source.
CaptureResult captureTestFrame(const CaptureRegisters& regs, int generation, int frameWidth, int frameHeight,
                               std::uint32_t frameNumber, std::span<std::uint8_t> videoMemory);

}  // namespace ovlhost
