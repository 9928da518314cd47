#include "overlay/chip_regs.h"

#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"

namespace ovlport {

namespace {

BYTE low8(DWORD value) { return static_cast<BYTE>(value & 0xFF); }

// One 16-bit write to an index port: index in the low byte, value in the high
// byte, as the VGA index/data pair takes it.
void writeIndexed(WORD indexPort, DWORD index, DWORD value) {
  driverPlatform.ports->outpw(indexPort, static_cast<WORD>(low8(value) << 8 | low8(index)));
}

BYTE readIndexed(WORD indexPort, WORD dataPort, DWORD index) {
  driverPlatform.ports->outp(indexPort, low8(index));
  return driverPlatform.ports->inp(dataPort);
}

}  // namespace

void writeGraphicsReg(DWORD index, DWORD value) { writeIndexed(graphicsIndexPort, index, value); }

BYTE readGraphicsReg(DWORD index) { return readIndexed(graphicsIndexPort, graphicsDataPort, index); }

void writeSequencerReg(DWORD index, DWORD value) { writeIndexed(sequencerIndexPort, index, value); }

BYTE readSequencerReg(DWORD index) { return readIndexed(sequencerIndexPort, sequencerDataPort, index); }

WORD unlockOverlayRegs() {
  const BYTE extension = readGraphicsReg(graphicsExtensionReg);
  writeGraphicsReg(graphicsExtensionReg, extension | extensionUnlockBits);
  const BYTE overlay = readGraphicsReg(graphicsOverlayReg);
  writeGraphicsReg(graphicsOverlayReg, overlay | overlayUnlockBit);
  return static_cast<WORD>(overlay << 8 | extension);
}

void restoreOverlayRegs(WORD saved) {
  writeGraphicsReg(graphicsOverlayReg, saved >> 8);
  writeGraphicsReg(graphicsExtensionReg, saved & 0xFF);
}

BYTE unlockGraphics09() {
  const BYTE old = readGraphicsReg(graphicsExtensionReg);
  writeGraphicsReg(graphicsExtensionReg, old | extensionUnlockBits);
  return old;
}

void restoreGraphics09(BYTE old) { writeGraphicsReg(graphicsExtensionReg, old); }

DWORD detectController() {
  const BYTE old = unlockGraphics09();
  // The CRT controller at its colour addresses, whatever the miscellaneous
  // output register says.
  driverPlatform.ports->outp(crtcIndexPort, crtcGenerationReg);
  driverState.controllerGeneration = driverPlatform.ports->inp(crtcDataPort) & generationMaskBits;
  restoreGraphics09(old);
  return driverState.controllerGeneration != 0 ? 1 : 0;
}

DWORD queryScreen() {
  platform::Screen& screen = *driverPlatform.screen;
  HDC dc = screen.GetDC(nullptr);
  driverState.bytesPerPixel = screen.GetDeviceCaps(dc, BITSPIXEL) >> 3;
  driverState.screenWidth = static_cast<WORD>(screen.GetDeviceCaps(dc, HORZRES));
  driverState.screenHeight = static_cast<WORD>(screen.GetDeviceCaps(dc, VERTRES));
  switch (driverState.bytesPerPixel) {
    case 1:
      driverState.defaultKey = 5;
      break;
    case 2:
      driverState.defaultKey = 0xF81F;
      break;
    case 3:
      driverState.defaultKey = 0xFF00FF;
      break;
    default:
      // No overlay on this depth, for as long as the library stays loaded.
      driverState.controllerGeneration = 1;
      break;
  }
  screen.ReleaseDC(nullptr, dc);
  if (driverState.controllerGeneration == 0) detectController();
  return driverState.controllerGeneration >= 3 ? 1 : 0;
}

}  // namespace ovlport
