// The simulated display controller and screen.
#include "sim/display_sim.h"

#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

TEST(DisplayControllerTest, IndexDataPairsBehaveAsTheVgaPairs) {
  DisplayController c;
  c.outpw(0x3C4, 0x3417);  // index 0x17, data 0x34
  EXPECT_EQ(c.sequencer(0x17), 0x34);
  EXPECT_EQ(c.inp(0x3C4), 0x17);  // the index port reads back the index
  c.outp(0x3CE, 0x0A);
  c.outp(0x3CF, 0x22);
  EXPECT_EQ(c.graphics(0x0A), 0x22);
  EXPECT_EQ(c.inp(0x3CF), 0x22);
  c.outp(0x3D4, 0x13);
  c.outp(0x3D5, 0x50);
  EXPECT_EQ(c.crtc(0x13), 0x50);
  EXPECT_EQ(c.inp(0x3DA), 0xFF);  // no device on other ports
  EXPECT_THAT(c.registerAccesses(),
              ElementsAre(RegisterAccess{RegisterSpace::sequencer, 0x17, 0x34, true},
                          RegisterAccess{RegisterSpace::graphics, 0x0A, 0x22, true},
                          RegisterAccess{RegisterSpace::graphics, 0x0A, 0x22, false},
                          RegisterAccess{RegisterSpace::crtc, 0x13, 0x50, true}));
  EXPECT_THAT(c.portAccesses(), SizeIs(8));
}

TEST(DisplayControllerTest, CrtRegister1AReportsTheGenerationAndIgnoresWrites) {
  DisplayProfile profile;
  profile.generation = 0x23;
  DisplayController c(profile);
  c.outpw(0x3D4, 0x001A);
  c.outp(0x3D4, 0x1A);
  EXPECT_EQ(c.inp(0x3D5), 0x23);
}

TEST(DisplayControllerTest, OverlayRegistersOutsideTheBracketAreViolations) {
  DisplayController c;
  c.outpw(0x3C4, 0x0107);  // sequencer 0x07 and 0x20 are no overlay registers
  c.outpw(0x3C4, 0x0120);
  EXPECT_THAT(c.violations(), IsEmpty());

  c.outpw(0x3C4, 0x0108);  // neither bit set
  c.outpw(0x3CE, 0x2609);
  c.outpw(0x3C4, 0x011F);  // 0x0A still lacks 0x20
  c.outpw(0x3CE, 0x200A);
  c.outpw(0x3CE, 0x2209);
  c.outp(0x3C4, 0x14);  // 0x09 lacks 0x04
  c.inp(0x3C5);
  EXPECT_THAT(c.violations(), SizeIs(3));

  c.clearLog();
  c.outpw(0x3CE, 0xFF09);
  c.outpw(0x3C4, 0x0108);
  c.outpw(0x3C4, 0x011F);
  EXPECT_THAT(c.violations(), IsEmpty());
  EXPECT_THAT(c.writes(RegisterSpace::sequencer), SizeIs(2));
}

TEST(SimScreenTest, AnswersTheModeAndCountsDeviceContexts) {
  DisplayProfile profile;
  profile.bitsPerPixel = 24;
  profile.width = 800;
  profile.height = 600;
  SimScreen screen(profile);
  HDC dc = screen.GetDC(nullptr);
  EXPECT_EQ(screen.openDCs(), 1);
  EXPECT_EQ(screen.GetDeviceCaps(dc, BITSPIXEL), 24);
  EXPECT_EQ(screen.GetDeviceCaps(dc, HORZRES), 800);
  EXPECT_EQ(screen.GetDeviceCaps(dc, VERTRES), 600);
  screen.bitsPerPixel = 8;
  EXPECT_EQ(screen.GetDeviceCaps(dc, BITSPIXEL), 8);
  EXPECT_EQ(screen.ReleaseDC(nullptr, dc), 1);
  EXPECT_EQ(screen.ReleaseDC(nullptr, dc), 0);  // not open any more
  EXPECT_EQ(screen.openDCs(), 0);
}

class DisplayProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("display_profile_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  bool loadProfile(const std::string& text, DisplayProfile& display, std::string& error) {
    const auto file = folder / "machine.toml";
    std::ofstream(file) << text;
    Machine machine;
    return loadMachine(machine, file, error) && loadDisplayProfile(machine, display, error);
  }
  std::filesystem::path folder;
};

TEST_F(DisplayProfileTest, ReadsTheDisplaySection) {
  DisplayProfile display;
  std::string error;
  ASSERT_TRUE(loadProfile("platform = \"windows95\"\n[display]\ngeneration = 4\nbits_per_pixel = 24\n"
                          "width = 1024\nheight = \"0x300\"\n",
                          display, error))
      << error;
  EXPECT_EQ(display.generation, 4);
  EXPECT_EQ(display.bitsPerPixel, 24);
  EXPECT_EQ(display.width, 1024);
  EXPECT_EQ(display.height, 0x300);
}

TEST_F(DisplayProfileTest, MissingSectionKeepsTheDefaultsAndBadValuesAreRefused) {
  DisplayProfile display;
  std::string error;
  ASSERT_TRUE(loadProfile("platform = \"windows95\"\n", display, error)) << error;
  EXPECT_EQ(display.generation, 3);
  EXPECT_EQ(display.bitsPerPixel, 16);
  EXPECT_EQ(display.width, 640);
  EXPECT_EQ(display.height, 480);

  EXPECT_FALSE(loadProfile("platform = \"windows95\"\n[display]\ngeneration = 256\n", display, error));
  EXPECT_EQ(error, "[display] generation must be a number from 0 to 255");
  EXPECT_FALSE(loadProfile("platform = \"windows95\"\n[display]\nwidth = \"wide\"\n", display, error));
}

}  // namespace
}  // namespace sim
