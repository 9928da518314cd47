// The colour key in the screen's three depths, and the recovery of lost
// surfaces (with the key rebuilt after a change of screen depth).
#pragma once

#include "overlay/host_records.h"

namespace ovlport {

// The key from a 24-bit colour to a 5-6-5 pixel and back.
constexpr DWORD key16From24(DWORD key24) {
  return ((key24 >> 8) & 0xF800) | ((key24 >> 5) & 0x07E0) | ((key24 >> 3) & 0x001F);
}
constexpr DWORD key24From16(DWORD key16) {
  const DWORD r = (key16 >> 11) & 0x1F, g = (key16 >> 5) & 0x3F, b = key16 & 0x1F;
  return ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 | ((b << 3) | (b >> 2));
}

// keyPaletteIndex of a key set on a 16- or 24-bit screen.
constexpr DWORD noPaletteIndex = 0xFF00;
// The palette index taken when the key colour cannot be found.
constexpr DWORD fallbackPaletteIndex = 5;

// Turns the descriptor's keyColor into colorKey for configuredBytesPerPixel,
// keeping key16, key24 and keyPaletteIndex; 0 or errKeyColor.
LONG deriveColorKey(DWORD capFlags, DWORD keyColor);

// Recovers the surfaces after DirectDraw reported them lost: 0 on success.
LONG recoverSurfaces(OverlayObject* object);

// Looks at the screen under visibleRect for the key colour (new depth b,
// lineBytes per screen line) and sets the key's state bits.
void scanScreenForKey(int b, DWORD lineBytes);

// Raises the overlay-lost notice with argument 1 or 3, when the host can be
// told now; hands a pending notice to the host.
void postNotice(OverlayObject* object, DWORD argument);
void deliverNotice(OverlayObject* object);

}  // namespace ovlport
