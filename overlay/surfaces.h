// The DirectDraw side of the overlay: the primary and overlay surfaces, the
// overlay's position and colour key, and the restore of lost surfaces.
#pragma once

#include "platform/direct_draw.h"

namespace ovlport {

// The creation result word: on success the overlay memory's byte offset from
// the screen memory (bits 0-21 not all zero); on failure a DirectDraw error
// number in bits 22-31.
constexpr DWORD creationOverlayExists = 0x1400000;  // DDERR_ALREADYINITIALIZED's number
constexpr DWORD creationNoDirectDraw = 0x20800000;  // DDERR_INVALIDOBJECT's number
constexpr DWORD errorNumberOutOfVideoMemory = 380;
constexpr DWORD errorNumberSurfaceLost = 450;
constexpr DWORD errorNumberWrongMode = 587;

constexpr bool creationSucceeded(DWORD word) { return (word & 0x3FFFFF) != 0; }
constexpr DWORD creationErrorNumber(DWORD word) { return (word >> 22) & 0x3FF; }
// DirectDraw results are compared by their low 16 bits.
constexpr bool isDirectDrawError(HRESULT result, DWORD number) { return (static_cast<DWORD>(result) & 0xFFFF) == number; }

// updateOverlay modes.
constexpr DWORD overlayShownMode = 1;
constexpr DWORD overlayHiddenMode = 0;

// Creates the primary surface (once per DirectDraw object) and the overlay
// surface of width x height in the format formatCode, with key as the
// destination overlay key; clears new overlay memory when clearSurface is set.
DWORD createSurfaces(DWORD window, LONG width, LONG height, DWORD formatCode, DWORD key);

// Clears new overlay memory of width x height pixels: YUY2 black (luma 0,
// neutral chroma) for "YUY2", zero bytes for every other format.
void clearOverlayMemory(BYTE* bits, DWORD width, DWORD height, LONG pitch, DWORD formatCode);

// Positions the overlay: shows it (mode 1) or hides it, with the colour key
// rules of key.  DirectDraw's result.
HRESULT updateOverlay(const RECT* destination, const RECT* source, DWORD key, DWORD mode);

// Restores the primary and then the overlay surface.
HRESULT restoreSurfaces();

}  // namespace ovlport
