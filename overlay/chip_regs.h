// The display controller's VGA-compatible index/data port pairs, the
// register primitives, the unlock and restore bracket of the overlay
// registers, controller detection and the screen query.
#pragma once

#include "platform/win32_api.h"

namespace ovlport {

constexpr WORD sequencerIndexPort = 0x3C4;
constexpr WORD sequencerDataPort = 0x3C5;
constexpr WORD graphicsIndexPort = 0x3CE;
constexpr WORD graphicsDataPort = 0x3CF;
constexpr WORD crtcIndexPort = 0x3D4;
constexpr WORD crtcDataPort = 0x3D5;

// Graphics controller registers.
constexpr BYTE graphicsExtensionReg = 0x09;  // bits 0x26 open the extended registers
constexpr BYTE graphicsOverlayReg = 0x0A;    // bit 0x20 opens the overlay registers
constexpr BYTE graphicsStatusReg = 0xB0;     // bit 0: overlay engine status, read by show
constexpr BYTE extensionUnlockBits = 0x26;
constexpr BYTE overlayUnlockBit = 0x20;

// CRT controller register whose low five bits give the controller generation.
constexpr BYTE crtcGenerationReg = 0x1A;
constexpr BYTE generationMaskBits = 0x1F;

// Only the low 8 bits of index and value are used.
void writeGraphicsReg(DWORD index, DWORD value);
BYTE readGraphicsReg(DWORD index);
void writeSequencerReg(DWORD index, DWORD value);
BYTE readSequencerReg(DWORD index);

// unlockOverlayRegs returns the old graphics controller 0x09 (bits 0-7) and
// 0x0A (bits 8-15); restoreOverlayRegs puts them back, 0x0A first.
WORD unlockOverlayRegs();
void restoreOverlayRegs(WORD saved);

// Detection's own bracket: graphics controller 0x09 only.
BYTE unlockGraphics09();
void restoreGraphics09(BYTE old);

// Stores the generation in controllerGeneration; 1 when it is nonzero.
DWORD detectController();

// Reads the screen depth and size into DriverState, sets defaultKey (or
// controllerGeneration 1 on an unsupported depth), detects the controller
// while its generation is unknown; 1 when the generation is 3 or higher.
DWORD queryScreen();

// Runs fn between unlockOverlayRegs and restoreOverlayRegs.
template <typename Fn>
void withOverlayRegs(Fn&& fn) {
  const WORD saved = unlockOverlayRegs();
  fn();
  restoreOverlayRegs(saved);
}

}  // namespace ovlport
