// A whole host session through the library's exports and the addresses they
// hand out, as a VPM host drives the driver.
#include <cstring>
#include <vector>

#include "overlay/overlay_fixture.h"

namespace ovlport_test {
namespace {

using namespace ovlport;

std::vector<std::pair<DWORD, DWORD>> notices;
void WINAPI hostNotice(DWORD notice, DWORD argument) { notices.push_back({notice, argument}); }

class SessionTest : public OverlayTest {};

TEST_F(SessionTest, HostSessionWithAModeChange) {
  notices.clear();
  load();
  VpmDriverTable* table = nullptr;
  ASSERT_EQ(vpmDriverProc(0x4001, 0x10100, &table), 0);
  ASSERT_EQ(table->queryDriver(table), 2);

  // Negotiate: the host asks what the driver offers, then picks YUY2 with
  // its own geometry and key.
  OverlayDescriptor request = descriptor(0, 0);
  OverlayDescriptor answer;
  ASSERT_EQ(table->negotiate(table, 0x40, &request, &answer), 0);
  EXPECT_EQ(answer.caps.formats, 6u);
  answer.caps.formats = answer.caps.format = formatYuy2;
  answer.caps.capFlags = capHostGeometry | capHostKeyColor | capClearSurface;
  answer.caps.keyColor = 0xF81F;
  answer.noticeCallback = hostNotice;

  OverlayObject* object = nullptr;
  ASSERT_EQ(table->openOverlay(table, &answer, &object), 0);
  ASSERT_EQ(object->show(object), 0);
  ASSERT_EQ(object->showSurface(object), 0);
  const auto overlay = directDraw->liveOverlay();
  ASSERT_TRUE(overlay.has_value());
  // The cleared YUY2 surface.
  const BYTE* bits = directDraw->screenMemory() + overlay->offset;
  EXPECT_EQ(bits[0], 0x00);
  EXPECT_EQ(bits[1], 0x80);

  // The window moves partly off the screen's left edge.
  OverlayWindow w = answer.window;
  w.destRect = {-160, 100, 160, 340};
  ASSERT_EQ(object->setWindow(object, &w), 0);
  EXPECT_TRUE(sameRectOf(state.visibleRect, {0, 100, 160, 340}));
  EXPECT_TRUE(sameRectOf(state.overlaySourceRect, {160, 0, 320, 240}));
  // The engine stores the picture at the surface's start: offset / 2.
  const DWORD start = controller->sequencer(0x0C) | controller->sequencer(0x0D) << 8 | controller->sequencer(0x0E) << 16;
  EXPECT_EQ(start, overlay->offset / 2);

  // The screen goes to 24 bits in the middle of the session: the next move
  // recovers, tells the host, and the engine is off until the host shows it.
  changeMode(24);
  w.destRect = {0, 100, 320, 340};
  ASSERT_EQ(object->setWindow(object, &w), 0);
  EXPECT_THAT(notices, ::testing::ElementsAre(std::pair<DWORD, DWORD>{32762, 3}));
  EXPECT_EQ(state.overlayShown, 0u);
  EXPECT_EQ(state.colorKey, 0xFF00FFu);
  EXPECT_EQ(directDraw->destOverlayKey()->dwColorSpaceLowValue, 0xFF00FFu);
  EXPECT_EQ(directDraw->updates().back().result, platform::DD_OK);
  ASSERT_EQ(object->show(object), 0);
  EXPECT_EQ(controller->sequencer(0x08) & 1, 1);

  ASSERT_EQ(object->hide(object), 0);
  ASSERT_EQ(object->hideSurface(object), 0);
  EXPECT_EQ(directDraw->updates().back().flags & platform::DDOVER_HIDE, platform::DDOVER_HIDE);
  ASSERT_EQ(object->close(object), 0);
  ASSERT_EQ(table->closeDriver(table), 0);

  expectBooksBalanced();
  EXPECT_EQ(directDraw->directDrawCreated, 2);
  EXPECT_EQ(memory->liveBlocks(), 1u);  // the closed object, still readable
  EXPECT_EQ(memory->heldLocks(), 1);
}

}  // namespace
}  // namespace ovlport_test
