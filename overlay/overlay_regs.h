// The overlay engine's sequencer registers and the routines that program
// them.  Every routine brackets its accesses with unlockOverlayRegs and
// restoreOverlayRegs.
#pragma once

#include "platform/win32_api.h"

namespace ovlport {

// Sequencer registers of the overlay engine.
constexpr BYTE seqControlLow = 0x08;   // control word bits 0-7
constexpr BYTE seqControlHigh = 0x09;  // control word bits 8-15
constexpr BYTE seqScale = 0x0A;        // reduction: horizontal bits 0-2, vertical bits 4-6
constexpr BYTE seqRegister0B = 0x0B;
constexpr BYTE seqStartLow = 0x0C;     // buffer start, 2-byte units, bits 0-7
constexpr BYTE seqStartMiddle = 0x0D;  // bits 8-15
constexpr BYTE seqStartHigh = 0x0E;    // bits 16-23
constexpr BYTE seqCaptureTop = 0x14;
constexpr BYTE seqCaptureBottom = 0x15;
constexpr BYTE seqCaptureVerticalHigh = 0x16;  // top bits 8-11 in 0-3, bottom bits 8-11 in 4-7
constexpr BYTE seqCaptureLeft = 0x17;
constexpr BYTE seqCaptureRight = 0x18;
constexpr BYTE seqCaptureHorizontalHigh = 0x19;  // left bits 8-11 in 0-3, right bits 8-11 in 4-7
constexpr BYTE seqPitchLow = 0x1A;   // pitch in 2-byte units, bits 0-7
constexpr BYTE seqPitchHigh = 0x1B;  // bits 8-14
constexpr BYTE seqScaleHorizontal = 0x1C;  // 11-bit factor, bits 0-7
constexpr BYTE seqScaleVertical = 0x1D;
constexpr BYTE seqRegister1F = 0x1F;

// Control word bits.
constexpr WORD controlEnable = 0x0001;
constexpr WORD controlRgb565 = 0x0002;
constexpr WORD controlRegister0B = 0x0010;
constexpr WORD controlAlways = 0x1120;  // bits 5, 8 and 12

// Bits of the control word where mask is 1 take value's bit; the others keep
// what the registers hold.  Switching the engine on writes 0x09 before 0x08.
void setOverlayControl(WORD value, WORD mask);
// Bits 0-11 of each edge are used.
void setCaptureWindow(LONG left, LONG top, LONG right, LONG bottom);
// base: byte offset from the screen memory; x in 2-byte pixels, y in lines,
// pitch in bytes per line.
void setBufferStart(DWORD base, WORD x, WORD y, WORD pitch);
void setScale3Bit(WORD h, WORD v);
void setScale11Bit(WORD h, WORD v);
// Reduction factors from the capture and image sizes, in the layout of the
// controller generation.
void computeScale(LONG captureWidth, LONG captureHeight, LONG imageWidth, LONG imageHeight);
WORD scaleFactor3Bit(LONG captureSize, LONG imageSize);
WORD scaleFactor11Bit(LONG captureSize, LONG imageSize);
void setSequencer0B(DWORD value);
void presetSequencer1F();

}  // namespace ovlport
