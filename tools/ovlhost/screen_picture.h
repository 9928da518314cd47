// The picture on the screen as the overlay hardware composes it, and PNG
// files of it.
//
// The visible screen is the primary surface.  While the overlay is shown, the
// overlay surface's source rectangle is scaled into the destination
// rectangle; with a destination colour key the overlay pixel replaces the
// screen pixel only where the screen pixel equals the key.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "capture_engine.h"

namespace ovlhost {

// Surface memory and how its pixels are formed.
enum class PixelKind { Palette8, Rgb16, Rgb24, Rgb32, Yuy2 };

struct SurfaceView {
  std::span<const std::uint8_t> memory;
  int width = 0;
  int height = 0;
  int pitch = 0;  // bytes from one line to the next
  PixelKind kind = PixelKind::Rgb16;
  // Channel masks of the RGB kinds, over the little-endian pixel value.
  std::uint32_t redMask = 0xF800;
  std::uint32_t greenMask = 0x07E0;
  std::uint32_t blueMask = 0x001F;
  const std::array<Rgb, 256>* palette = nullptr;  // Palette8
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct OverlayPlacement {
  bool shown = false;
  Rect source;       // in the overlay surface
  Rect destination;  // on the screen
  bool keyed = false;
  std::uint32_t keyLow = 0;  // destination key range, in the screen's pixel values
  std::uint32_t keyHigh = 0;
};

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // 3 bytes per pixel, rows top to bottom
  Rgb at(int x, int y) const;
  void set(int x, int y, Rgb c);
};

// The raw value of pixel (x, y) of a surface (0 when outside its memory).
std::uint32_t pixelValue(const SurfaceView& surface, int x, int y);
// Its colour; a YUY2 pixel is converted with its pair's chroma.
Rgb pixelColour(const SurfaceView& surface, int x, int y);

// The whole surface as a picture (YUY2 converted to RGB for viewing).
Image surfaceImage(const SurfaceView& surface);

// The screen: the primary surface with the overlay placed on it.
Image composeScreen(const SurfaceView& primary, const SurfaceView* overlay, const OverlayPlacement& placement);

// Writes an 8-bit RGB PNG file.
bool writePng(const std::filesystem::path& file, const Image& image, std::string& error);

}  // namespace ovlhost
