#include "screen_picture.h"

#include <png.h>

#include <bit>
#include <cstdio>
#include <memory>

namespace ovlhost {

namespace {

// One channel of an RGB pixel value scaled to 8 bits by its mask.
std::uint8_t channel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const std::uint32_t field = (value & mask) >> shift;
  if (bits >= 8) return static_cast<std::uint8_t>(field >> (bits - 8));
  // Replicate the high bits into the low ones, so that full scale is 255.
  std::uint32_t wide = 0;
  for (int filled = 0; filled < 8; filled += bits) wide = (wide << bits) | field;
  const int total = ((7 + bits) / bits) * bits;
  return static_cast<std::uint8_t>(wide >> (total - 8));
}

int bytesPerPixel(PixelKind kind) {
  switch (kind) {
    case PixelKind::Palette8:
      return 1;
    case PixelKind::Rgb16:
    case PixelKind::Yuy2:
      return 2;
    case PixelKind::Rgb24:
      return 3;
    case PixelKind::Rgb32:
      return 4;
  }
  return 1;
}

}  // namespace

Rgb Image::at(int x, int y) const {
  const std::size_t i =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  return {rgb.at(i), rgb.at(i + 1), rgb.at(i + 2)};
}

void Image::set(int x, int y, Rgb c) {
  const std::size_t i =
      (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
  rgb.at(i) = c.r;
  rgb.at(i + 1) = c.g;
  rgb.at(i + 2) = c.b;
}

std::uint32_t pixelValue(const SurfaceView& surface, int x, int y) {
  if (x < 0 || y < 0 || x >= surface.width || y >= surface.height || surface.pitch <= 0) return 0;
  const int size = bytesPerPixel(surface.kind);
  const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(surface.pitch) +
                         static_cast<std::size_t>(x) * static_cast<std::size_t>(size);
  if (at + static_cast<std::size_t>(size) > surface.memory.size()) return 0;
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | surface.memory[at + static_cast<std::size_t>(i)];
  return value;
}

Rgb pixelColour(const SurfaceView& surface, int x, int y) {
  const std::uint32_t value = pixelValue(surface, x, y);
  switch (surface.kind) {
    case PixelKind::Palette8:
      return surface.palette != nullptr ? (*surface.palette)[value & 0xFF] : Rgb{};
    case PixelKind::Yuy2: {
      // Y0 U Y1 V: the even pixel of a pair holds U, the odd one V.
      const int pairStart = x & ~1;
      const std::uint32_t first = pixelValue(surface, pairStart, y);
      const std::uint32_t second = pairStart + 1 < surface.width ? pixelValue(surface, pairStart + 1, y) : 0x8000;
      return fromYuv(static_cast<int>(value & 0xFF), static_cast<int>(first >> 8), static_cast<int>(second >> 8));
    }
    default:
      return {channel(value, surface.redMask), channel(value, surface.greenMask), channel(value, surface.blueMask)};
  }
}

Image surfaceImage(const SurfaceView& surface) {
  Image image;
  image.width = surface.width > 0 ? surface.width : 0;
  image.height = surface.height > 0 ? surface.height : 0;
  image.rgb.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3, 0);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) image.set(x, y, pixelColour(surface, x, y));
  return image;
}

Image composeScreen(const SurfaceView& primary, const SurfaceView* overlay, const OverlayPlacement& placement) {
  Image image = surfaceImage(primary);
  if (overlay == nullptr || !placement.shown) return image;
  const Rect& dst = placement.destination;
  const Rect& src = placement.source;
  if (dst.width() <= 0 || dst.height() <= 0 || src.width() <= 0 || src.height() <= 0) return image;
  for (int y = std::max(dst.top, 0); y < std::min(dst.bottom, image.height); ++y) {
    // The source line for this screen line, stretched or shrunk to fit.
    const int sy = src.top + static_cast<int>(static_cast<long long>(y - dst.top) * src.height() / dst.height());
    for (int x = std::max(dst.left, 0); x < std::min(dst.right, image.width); ++x) {
      if (placement.keyed) {
        const std::uint32_t screen = pixelValue(primary, x, y);
        if (screen < placement.keyLow || screen > placement.keyHigh) continue;
      }
      const int sx = src.left + static_cast<int>(static_cast<long long>(x - dst.left) * src.width() / dst.width());
      if (sx < 0 || sy < 0 || sx >= overlay->width || sy >= overlay->height) continue;
      image.set(x, y, pixelColour(*overlay, sx, sy));
    }
  }
  return image;
}

bool writePng(const std::filesystem::path& file, const Image& image, std::string& error) {
  if (image.width <= 0 || image.height <= 0) {
    error = "empty picture";
    return false;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(file.c_str(), "wb"), &std::fclose);
  if (!out) {
    error = "cannot create " + file.string();
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, &info);
    error = "libpng cannot start";
    return false;
  }
  // libpng reports its errors by a long jump back to here.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = "cannot write " + file.string();
    return false;
  }
  png_init_io(png, out.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height; ++y) {
    png_write_row(png, image.rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) * 3);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(out.get()) != 0) {
    error = "cannot write " + file.string();
    return false;
  }
  return true;
}

}  // namespace ovlhost
