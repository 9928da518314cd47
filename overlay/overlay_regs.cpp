#include "overlay/overlay_regs.h"

#include <cstdint>

#include "overlay/chip_regs.h"
#include "overlay/driver_state.h"

namespace ovlport {

namespace {

// Bits 0-7 and 8-11 of a 12-bit coordinate.
BYTE coordinateLow(LONG value) { return static_cast<BYTE>(static_cast<DWORD>(value) & 0xFF); }
BYTE coordinateHigh(LONG value) { return static_cast<BYTE>(static_cast<DWORD>(value) >> 8 & 0x0F); }

}  // namespace

void setOverlayControl(WORD value, WORD mask) {
  withOverlayRegs([&] {
    const BYTE maskLow = static_cast<BYTE>(mask & 0xFF);
    const BYTE maskHigh = static_cast<BYTE>(mask >> 8);
    const BYTE low = static_cast<BYTE>((readSequencerReg(seqControlLow) & ~maskLow) | (value & maskLow));
    // Switching the engine off (or leaving it off) changes register 0x08 first.
    if ((low & controlEnable) == 0) writeSequencerReg(seqControlLow, low);
    BYTE valueHigh = static_cast<BYTE>(value >> 8);
    // Bit 12 only goes with a control pattern in bits 6-7.
    if ((low & 0xC0) == 0) valueHigh = static_cast<BYTE>(valueHigh & ~0x10);
    const BYTE high = static_cast<BYTE>((readSequencerReg(seqControlHigh) & ~maskHigh) | (valueHigh & maskHigh));
    writeSequencerReg(seqControlHigh, high);
    // Switching it on: register 0x09 is in place before the engine starts.
    if ((low & controlEnable) != 0) writeSequencerReg(seqControlLow, low);
  });
}

void setCaptureWindow(LONG left, LONG top, LONG right, LONG bottom) {
  withOverlayRegs([&] {
    writeSequencerReg(seqCaptureLeft, coordinateLow(left));
    writeSequencerReg(seqCaptureRight, coordinateLow(right));
    writeSequencerReg(seqCaptureHorizontalHigh, coordinateHigh(right) << 4 | coordinateHigh(left));
    writeSequencerReg(seqCaptureTop, coordinateLow(top));
    writeSequencerReg(seqCaptureBottom, coordinateLow(bottom));
    writeSequencerReg(seqCaptureVerticalHigh, coordinateHigh(bottom) << 4 | coordinateHigh(top));
  });
}

void setBufferStart(DWORD base, WORD x, WORD y, WORD pitch) {
  // In 2-byte units from the start of the screen memory, wrapping at 32 bits.
  const DWORD address = (base + static_cast<DWORD>(y) * static_cast<DWORD>(pitch) + 2u * static_cast<DWORD>(x)) >> 1;
  withOverlayRegs([&] {
    writeSequencerReg(seqStartLow, address & 0xFF);
    writeSequencerReg(seqStartMiddle, address >> 8 & 0xFF);
    writeSequencerReg(seqStartHigh, address >> 16 & 0xFF);
    writeSequencerReg(seqPitchLow, (pitch >> 1) & 0xFF);
    writeSequencerReg(seqPitchHigh, (pitch >> 9) & 0x7F);
  });
}

void setScale3Bit(WORD h, WORD v) {
  withOverlayRegs([&] { writeSequencerReg(seqScale, (v & 7) << 4 | (h & 7)); });
}

void setScale11Bit(WORD h, WORD v) {
  withOverlayRegs([&] {
    writeSequencerReg(seqScale, ((v >> 8) & 7) << 4 | ((h >> 8) & 7));
    writeSequencerReg(seqScaleHorizontal, h & 0xFF);
    writeSequencerReg(seqScaleVertical, v & 0xFF);
  });
}

WORD scaleFactor11Bit(LONG captureSize, LONG imageSize) {
  if (imageSize == captureSize) return 0;
  // An empty capture has nothing to reduce (and would divide by zero).
  if (captureSize == 0) return 0;
  // 0x800 - (S * 2048) / D with a 32-bit signed product, wrapping, and the
  // division truncated toward zero.
  const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(imageSize) * 2048u);
  const auto quotient = static_cast<std::uint32_t>(static_cast<std::int64_t>(product) / captureSize);
  return static_cast<WORD>(0x800u - quotient);
}

WORD scaleFactor3Bit(LONG captureSize, LONG imageSize) {
  if (imageSize == captureSize) return 0;
  std::int64_t unit = 0;
  std::int64_t factor = 0;
  std::int64_t step = 0;
  if (captureSize % 8 == 0) {
    unit = captureSize / 8;
    factor = 7;
    step = 1;
  } else if (captureSize % 4 == 0) {
    unit = captureSize / 4;
    factor = 6;
    step = 2;
  } else if (captureSize % 2 == 0) {
    unit = captureSize / 2;
    factor = 4;
    step = 4;
  } else {
    return 0;  // an odd capture size takes no reduction
  }
  // The step is taken once for each further unit of the capture that the
  // image needs: n times, n the smallest number from 1 on with
  // imageSize <= (n + 1) * unit, worked out at once rather than counted.  A
  // negative unit (a capture rectangle turned inside out) is passed over like
  // a zero one instead of being counted through the whole 32-bit range.
  if (unit > 0 && unit < imageSize) {
    const std::int64_t units = (imageSize + unit - 1) / unit;
    factor -= step * (units - 1);
  }
  return static_cast<WORD>(factor & 7);
}

void computeScale(LONG captureWidth, LONG captureHeight, LONG imageWidth, LONG imageHeight) {
  if (driverState.controllerGeneration == 3) {
    setScale3Bit(scaleFactor3Bit(captureWidth, imageWidth), scaleFactor3Bit(captureHeight, imageHeight));
  } else {
    setScale11Bit(scaleFactor11Bit(captureWidth, imageWidth), scaleFactor11Bit(captureHeight, imageHeight));
  }
}

void setSequencer0B(DWORD value) {
  withOverlayRegs([&] { writeSequencerReg(seqRegister0B, value & 3); });
}

void presetSequencer1F() {
  withOverlayRegs([&] { writeSequencerReg(seqRegister1F, 2); });
}

}  // namespace ovlport
