#include "screen_picture.h"

#include <png.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace ovlhost {
namespace {

struct Surface16 {
  int width, height;
  std::vector<std::uint8_t> bytes;
  Surface16(int w, int h, std::uint16_t fill) : width(w), height(h), bytes(static_cast<std::size_t>(w * h * 2)) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) put(x, y, fill);
  }
  void put(int x, int y, std::uint16_t v) {
    bytes.at(static_cast<std::size_t>((y * width + x) * 2)) = static_cast<std::uint8_t>(v);
    bytes.at(static_cast<std::size_t>((y * width + x) * 2 + 1)) = static_cast<std::uint8_t>(v >> 8);
  }
  SurfaceView view(PixelKind kind = PixelKind::Rgb16) const {
    SurfaceView v;
    v.memory = bytes;
    v.width = width;
    v.height = height;
    v.pitch = width * 2;
    v.kind = kind;
    return v;
  }
};

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kWhite{255, 255, 255};

TEST(Composition, KeyedOverlayReplacesOnlyKeyPixelsInsideTheDestination) {
  // An 8 x 4 black screen with a magenta (key) block at x 2-5, y 1-2, and a
  // key pixel outside the destination at (7, 3).
  Surface16 screen(8, 4, 0x0000);
  for (int y = 1; y <= 2; ++y)
    for (int x = 2; x <= 5; ++x) screen.put(x, y, 0xF81F);
  screen.put(3, 1, 0x07E0);  // a green pixel inside the block stays
  screen.put(7, 3, 0xF81F);
  Surface16 overlay(4, 2, 0xF800);  // red
  overlay.put(1, 1, 0x001F);        // blue
  OverlayPlacement place{.shown = true,
                         .source = {0, 0, 4, 2},
                         .destination = {2, 1, 6, 3},
                         .keyed = true,
                         .keyLow = 0xF81F,
                         .keyHigh = 0xF81F};
  const SurfaceView overlayView = overlay.view();
  const Image image = composeScreen(screen.view(), &overlayView, place);
  EXPECT_EQ(image.at(2, 1), kRed);
  EXPECT_EQ(image.at(3, 1), kGreen);
  EXPECT_EQ(image.at(3, 2), kBlue);
  EXPECT_EQ(image.at(5, 2), kRed);
  EXPECT_EQ(image.at(1, 1), kBlack);
  EXPECT_EQ(image.at(7, 3), kMagenta);  // key colour outside the destination
  place.shown = false;
  EXPECT_EQ(composeScreen(screen.view(), &overlayView, place).at(2, 1), kMagenta);
  place.shown = true;
  place.keyed = false;  // no key: the whole destination shows the overlay
  EXPECT_EQ(composeScreen(screen.view(), &overlayView, place).at(3, 1), kRed);
}

TEST(Composition, ScalesTheSourceIntoTheDestinationAndClipsToTheScreen) {
  Surface16 screen(6, 4, 0x0000);
  Surface16 overlay(2, 1, 0xF800);
  overlay.put(1, 0, 0x001F);
  const SurfaceView overlayView = overlay.view();
  // Doubled: each overlay pixel covers 2 x 2 screen pixels.
  OverlayPlacement place{.shown = true, .source = {0, 0, 2, 1}, .destination = {1, 1, 5, 3}};
  Image image = composeScreen(screen.view(), &overlayView, place);
  EXPECT_EQ(image.at(1, 1), kRed);
  EXPECT_EQ(image.at(2, 2), kRed);
  EXPECT_EQ(image.at(3, 1), kBlue);
  EXPECT_EQ(image.at(4, 2), kBlue);
  EXPECT_EQ(image.at(5, 2), kBlack);
  EXPECT_EQ(image.at(1, 3), kBlack);
  // Reaching past the left edge: screen column 0 shows source column 1.
  place.destination = {-2, 0, 2, 2};
  image = composeScreen(screen.view(), &overlayView, place);
  EXPECT_EQ(image.at(0, 0), kBlue);
  EXPECT_EQ(image.at(1, 1), kBlue);
  EXPECT_EQ(image.at(2, 0), kBlack);
}

TEST(Composition, ReadsEachScreenDepthAndYuy2) {
  // 8-bit screen: palette index 5 is the key.
  std::array<Rgb, 256> palette{};
  palette[5] = kMagenta;
  palette[9] = kWhite;
  std::vector<std::uint8_t> screen8 = {9, 5, 5, 9};
  SurfaceView s8{.memory = screen8, .width = 4, .height = 1, .pitch = 4, .kind = PixelKind::Palette8};
  s8.palette = &palette;
  // YUY2 overlay: white, black pair.
  std::vector<std::uint8_t> yuy2 = {235, 128, 16, 128};
  SurfaceView overlay{.memory = yuy2, .width = 2, .height = 1, .pitch = 4, .kind = PixelKind::Yuy2};
  OverlayPlacement place{
      .shown = true, .source = {0, 0, 2, 1}, .destination = {0, 0, 4, 1}, .keyed = true, .keyLow = 5, .keyHigh = 5};
  Image image = composeScreen(s8, &overlay, place);
  EXPECT_EQ(image.at(0, 0), kWhite);
  EXPECT_EQ(image.at(1, 0), kWhite);  // key, source column 0
  EXPECT_EQ(image.at(2, 0), kBlack);  // key, source column 1
  EXPECT_EQ(image.at(3, 0), kWhite);
  // 24-bit screen, red in bits 16-23 of the little-endian value.
  std::vector<std::uint8_t> screen24 = {0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF};
  SurfaceView s24{.memory = screen24,
                  .width = 2,
                  .height = 1,
                  .pitch = 6,
                  .kind = PixelKind::Rgb24,
                  .redMask = 0xFF0000,
                  .greenMask = 0xFF00,
                  .blueMask = 0xFF};
  EXPECT_EQ(pixelValue(s24, 1, 0), 0xFF00FFu);
  image = surfaceImage(s24);
  EXPECT_EQ(image.at(0, 0), kRed);
  EXPECT_EQ(image.at(1, 0), kMagenta);
  // Outside the memory a surface reads as 0.
  EXPECT_EQ(pixelValue(s24, 2, 0), 0u);
}

TEST(Png, WritesAPictureThatReadsBackTheSame) {
  Image image{.width = 3, .height = 2, .rgb = {}};
  image.rgb.assign(18, 0);
  image.set(0, 0, kRed);
  image.set(2, 1, kBlue);
  const std::string file = ::testing::TempDir() + "ovlhost_png_test.png";
  std::string error;
  ASSERT_TRUE(writePng(file, image, error)) << error;
  png_image read{};
  read.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&read, file.c_str()));
  read.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> back(PNG_IMAGE_SIZE(read));
  ASSERT_TRUE(png_image_finish_read(&read, nullptr, back.data(), 0, nullptr));
  EXPECT_EQ(read.width, 3u);
  EXPECT_EQ(read.height, 2u);
  EXPECT_EQ(back, image.rgb);
  std::remove(file.c_str());
  EXPECT_FALSE(writePng("/nonexistent-folder/x.png", image, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace ovlhost
