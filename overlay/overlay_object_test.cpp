#include "overlay/overlay_object.h"

#include <cstring>
#include <numeric>
#include <vector>

#include "overlay/overlay_fixture.h"

namespace ovlport_test {
namespace {

using namespace ovlport;
using Call = sim::SimDirectDraw::Call;
using Target = sim::SimDirectDraw::Target;

class OverlayObjectTest : public OverlayTest {};

TEST_F(OverlayObjectTest, OpenFillsTheObjectAndTheHostDescriptor) {
  load();
  OverlayDescriptor d = descriptor(capDriverGeometry | capHostKeyColor);
  d.window.destRect = {0, 0, 300, 200};
  OverlayObject* object = nullptr;
  ASSERT_EQ(table()->openOverlay(table(), &d, &object), 0);
  EXPECT_EQ(object->size, overlayObjectHeaderSize);
  EXPECT_EQ(object->end, 0u);
  EXPECT_NE(object->sharedBuffer, nullptr);
  EXPECT_EQ(memory->blocks().at(object->sharedBuffer).size, 0x4800u);
  EXPECT_EQ(memory->blocks().at(object->sharedBuffer).flags, 0x2042u);
  EXPECT_EQ(memory->blockAt(object)->flags, 0x2042u);
  EXPECT_EQ(memory->blockAt(object)->size, sizeof(OverlayObject));
  // The host's own descriptor got the capability values and the default
  // geometry (generation 3: 640 x 480 into 300 x 200 gives 300 x 120).
  EXPECT_EQ(d.caps.capabilityValues[0], 2u);
  EXPECT_TRUE(sameRectOf(d.window.imageRect, {0, 0, 300, 120}));
  EXPECT_EQ(d.window.surfaceSize.width, 304);
  EXPECT_EQ(std::memcmp(&object->storedDescriptor, &d, sizeof d), 0);
  EXPECT_NE(object->surfacesOffset, 0u);

  // A second open is refused and allocates nothing.
  const int allocations = memory->allocationAttempts;
  OverlayObject* second = nullptr;
  EXPECT_EQ(table()->openOverlay(table(), &d, &second), errUnavailable);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(memory->allocationAttempts, allocations);
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

TEST_F(OverlayObjectTest, OpenRefusals) {
  load();
  OverlayDescriptor d = descriptor();
  OverlayObject* object = nullptr;
  EXPECT_EQ(table()->openOverlay(nullptr, &d, &object), errNullArgument);
  EXPECT_EQ(table()->openOverlay(table(), nullptr, &object), errNullArgument);
  EXPECT_EQ(table()->openOverlay(table(), &d, nullptr), errNullArgument);
  for (int failing : {1, 2}) {
    memory->failAllocationNumber(failing);
    EXPECT_EQ(table()->openOverlay(table(), &d, &object), errNoMemory) << "allocation " << failing;
    EXPECT_EQ(memory->liveBlocks(), 0u);
  }
  EXPECT_EQ(directDraw->directDrawCreated, 0);
  load(2);
  EXPECT_EQ(openOverlay(reinterpret_cast<VpmDriverTable*>(&d), &d, &object), errUnavailable);
}

TEST_F(OverlayObjectTest, OperationsOnAClosedObject) {
  load();
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(object->close(object), 0);
  expectBooksBalanced();
  for (ObjectProc op : {object->show, object->hide, object->showSurface, object->hideSurface})
    EXPECT_EQ(op(object), errInvalidState);
  for (ObjectProc op : {object->close, object->show, object->hide, object->showSurface, object->hideSurface,
                        object->unlock})
    EXPECT_EQ(op(nullptr), errNullArgument);
  // A second close changes nothing; the block stays readable.
  EXPECT_EQ(object->close(object), 0);
  EXPECT_EQ(state.openObjects, 0);
  EXPECT_EQ(object->size, overlayObjectHeaderSize);
  EXPECT_EQ(memory->liveBlocks(), 1u);

  // The next open frees the closed block: at most one is kept.
  OverlayObject* next = open();
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(memory->liveBlocks(), 2u);  // the new object and its shared buffer
  EXPECT_EQ(next->close(next), 0);
  EXPECT_EQ(memory->liveBlocks(), 1u);
  expectBooksBalanced();
}

TEST_F(OverlayObjectTest, FailedOpenReleasesItsDirectDrawObjects) {
  load();
  directDraw->failNext(Call::UpdateOverlay, platform::DDERR_INVALIDPARAMS);
  OverlayDescriptor d = descriptor();
  OverlayObject* object = nullptr;
  EXPECT_EQ(table()->openOverlay(table(), &d, &object), errOverlayFailed);
  EXPECT_EQ(directDraw->liveObjects(), 0);
  EXPECT_EQ(memory->liveBlocks(), 0u);
  EXPECT_EQ(state.openObjects, 0);
  object = open();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

TEST_F(OverlayObjectTest, ShowHideAndTheControlRegister) {
  load();
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(controller->sequencer(0x08), 0x22);  // RGB 5:6:5, engine off
  EXPECT_EQ(object->show(object), 0);
  EXPECT_EQ(controller->sequencer(0x08), 0x23);
  EXPECT_EQ(state.overlayShown, 1u);
  EXPECT_EQ(object->showSurface(object), 0);
  EXPECT_EQ(directDraw->updates().back().flags, 0x4400u);
  EXPECT_EQ(object->hideSurface(object), 0);
  EXPECT_EQ(directDraw->updates().back().flags, 0x600u);
  EXPECT_TRUE(sameRectOf(*directDraw->updates().back().dest, {100, 100, 420, 340}));
  EXPECT_EQ(object->hide(object), 0);
  EXPECT_EQ(controller->sequencer(0x08), 0x22);
  EXPECT_EQ(state.overlayShown, 0u);

  OverlayDescriptor out;
  EXPECT_EQ(object->getDescriptor(object, &out), 0);
  EXPECT_EQ(std::memcmp(&out, &object->storedDescriptor, sizeof out), 0);
  EXPECT_EQ(object->getDescriptor(object, nullptr), errNullArgument);
  EXPECT_EQ(object->reservedOp2(object, 1), errNotImplemented);
  EXPECT_EQ(object->reservedOp1(object, 0, 0), errNullArgument);
  for (auto [window, result] : {std::pair<DWORD, LONG>{0x10000, errNotImplemented}, {0x10001, errWindowedRefused}}) {
    object->storedDescriptor.ownerWindow = window;
    EXPECT_EQ(object->reservedOp1(object, 1, 0), result);
  }
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

TEST_F(OverlayObjectTest, CloseStopsARunningCaptureEngine) {
  load();
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(object->show(object), 0);
  ASSERT_EQ(controller->sequencer(0x08), 0x23);
  EXPECT_EQ(object->close(object), 0);
  // The engine would otherwise go on storing video into memory the driver
  // has just given back.
  EXPECT_EQ(controller->sequencer(0x08), 0x22);
  EXPECT_EQ(state.overlayShown, 0u);
  expectBooksBalanced();

  // A hidden overlay is closed without touching the engine.
  object = open();
  ASSERT_NE(object, nullptr);
  controller->clearLog();
  EXPECT_EQ(object->close(object), 0);
  EXPECT_TRUE(controller->portAccesses().empty());
  expectBooksBalanced();
}

TEST_F(OverlayObjectTest, HideSurfaceAfterAFailedCreationOnlyDeliversTheNotice) {
  load();
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  state.createFailure = 145;
  state.pendingNotice = overlayLostNotice;  // no callback: the notice is dropped
  const auto updates = directDraw->updates().size();
  EXPECT_EQ(object->hideSurface(object), 0);
  EXPECT_EQ(directDraw->updates().size(), updates);
  EXPECT_EQ(state.pendingNotice, 0u);
  state.createFailure = 0;
  EXPECT_EQ(object->close(object), 0);
}

TEST_F(OverlayObjectTest, LockRules) {
  load();
  SurfaceAccess access{};
  OverlayObject* object = open(descriptor(capDriverGeometry | capHostKeyColor));
  ASSERT_NE(object, nullptr);
  access.requestFlags = 0x8;
  EXPECT_EQ(object->lock(object, &access), errLocked);
  EXPECT_EQ(object->close(object), 0);

  object = open();
  ASSERT_NE(object, nullptr);
  access = {};
  EXPECT_EQ(object->lock(object, &access), 0);  // without the access bit: nothing
  EXPECT_EQ(access.memory, nullptr);
  EXPECT_EQ(object->lockCount, 0u);
  access.requestFlags = 0x8;
  EXPECT_EQ(object->lock(object, &access), 0);
  EXPECT_EQ(access.memory, state.overlayBits);
  EXPECT_EQ(access.pitch, 640);
  EXPECT_EQ(object->lock(object, &access), errLocked);
  EXPECT_EQ(object->unlock(object), 0);
  EXPECT_EQ(object->unlock(object), 0);
  EXPECT_EQ(object->lockCount, 0u);
  EXPECT_EQ(object->lock(nullptr, &access), errNullArgument);
  EXPECT_EQ(object->lock(object, nullptr), errNullArgument);
  EXPECT_EQ(directDraw->locks, directDraw->unlocks);
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

TEST_F(OverlayObjectTest, LockInPlaceHandsOnTheScreenMemory) {
  load(3, 16, 640, 480, 640 * 480 * 2 + 1000);
  OverlayObject* object = open();
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(state.inPlaceMode, 1u);
  SurfaceAccess access{};
  access.requestFlags = 0x8;
  EXPECT_EQ(object->lock(object, &access), 0);
  EXPECT_EQ(access.memory, directDraw->screenMemory() + 1280);
  EXPECT_EQ(access.pitch, 1280);
  EXPECT_EQ(directDraw->heldLocks(), 1);
  // The copies reach no further than the end of the screen's memory: from a
  // lock one line into the screen, 479 whole lines fit and 480 do not.
  std::vector<BYTE> host(1280 * 480);
  for (auto [bottom, result] : {std::pair<LONG, LONG>{480, errGeometry}, {479, 0}}) {
    SCOPED_TRACE(bottom);
    RECT r{0, 0, 640, bottom};
    EXPECT_EQ(object->readRect(object, &access, &r, host.data(), 1280, &r), result);
    EXPECT_EQ(object->writeRect(object, host.data(), 1280, &r, &access, &r), result);
    RECT line{0, bottom - 1, 640, bottom}, hostLine{0, 0, 640, 1};
    EXPECT_EQ(object->readRect(object, &access, &line, host.data(), 1280, &hostLine), result);
  }
  EXPECT_EQ(object->unlock(object), 0);
  EXPECT_EQ(directDraw->heldLocks(), 0);
  // A lock DirectDraw refuses hands out no address.
  directDraw->failNext(Call::Lock, platform::DDERR_SURFACEBUSY, Target::Overlay);
  access = {};
  access.requestFlags = 0x8;
  EXPECT_EQ(object->lock(object, &access), errLocked);
  EXPECT_EQ(access.memory, nullptr);
  EXPECT_EQ(object->lockCount, 0u);
  EXPECT_EQ(object->close(object), 0);
  expectBooksBalanced();
}

class RectCopyTest : public OverlayObjectTest {
 protected:
  void SetUp() override {
    load();
    object = open();
    ASSERT_NE(object, nullptr);
    access.requestFlags = 0x8;
    ASSERT_EQ(object->lock(object, &access), 0);
  }
  void TearDown() override {
    if (object != nullptr) {
      object->unlock(object);
      object->close(object);
    }
    OverlayObjectTest::TearDown();
  }
  OverlayObject* object = nullptr;
  SurfaceAccess access{};
};

TEST_F(RectCopyTest, WriteLineByLine) {
  // 4 x 2 pixels from host (1, 1) to surface (2, 3), host pitch 100, access
  // pitch 200: two lines of 8 bytes from buf + 102 and + 202 to memory + 604
  // and + 804.
  access.pitch = 200;
  std::vector<BYTE> host(400);
  std::iota(host.begin(), host.end(), 0);
  std::fill(access.memory, access.memory + 1200, 0xEE);
  RECT hr{1, 1, 5, 3}, sr{2, 3, 6, 5};
  EXPECT_EQ(object->writeRect(object, host.data(), 100, &hr, &access, &sr), 0);
  for (int i = 0; i < 1200; ++i) {
    const bool first = i >= 604 && i < 612, second = i >= 804 && i < 812;
    const BYTE expected = first ? host[102 + i - 604] : second ? host[202 + i - 804] : 0xEE;
    ASSERT_EQ(access.memory[i], expected) << i;
  }
}

TEST_F(RectCopyTest, ReadWholeBlockIncludesTheRestOfEachLine) {
  std::iota(access.memory, access.memory + 640 * 3, 0);
  std::vector<BYTE> host(640 * 3 + 16, 0xEE);
  RECT sr{0, 0, 10, 3}, hr{0, 0, 10, 3};
  EXPECT_EQ(object->readRect(object, &access, &sr, host.data(), 640, &hr), 0);
  EXPECT_TRUE(std::equal(host.begin(), host.begin() + 640 * 3, access.memory));
  EXPECT_EQ(host[640 * 3], 0xEE);
  // Another host pitch: only the rectangle.
  std::fill(host.begin(), host.end(), 0xEE);
  EXPECT_EQ(object->readRect(object, &access, &sr, host.data(), 20, &hr), 0);
  EXPECT_TRUE(std::equal(host.begin(), host.begin() + 20, access.memory));
  EXPECT_TRUE(std::equal(host.begin() + 20, host.begin() + 40, access.memory + 640));
  EXPECT_EQ(host[60], 0xEE);
}

TEST_F(RectCopyTest, Refusals) {
  std::vector<BYTE> host(64 * 1024, 0);
  struct Case {
    const char* name;
    RECT sr, hr;
    LONG result;
  };
  const Case cases[] = {
      {"sizes differ", {0, 0, 10, 10}, {0, 0, 11, 10}, errGeometry},
      {"negative coordinate", {-1, 0, 9, 10}, {0, 0, 10, 10}, errGeometry},
      {"inverted", {10, 0, 0, 10}, {10, 0, 0, 10}, errGeometry},
      {"beyond the surface width", {311, 0, 321, 10}, {0, 0, 10, 10}, errGeometry},
      {"beyond the surface height", {0, 231, 10, 241}, {0, 0, 10, 10}, errGeometry},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RECT sr = c.sr, hr = c.hr;
    EXPECT_EQ(object->readRect(object, &access, &sr, host.data(), 20, &hr), c.result);
    EXPECT_EQ(object->writeRect(object, host.data(), 20, &hr, &access, &sr), c.result);
  }
  // The whole surface is inside it.
  std::vector<BYTE> whole(640 * 240);
  RECT all{0, 0, 320, 240};
  EXPECT_EQ(object->readRect(object, &access, &all, whole.data(), 640, &all), 0);
  // A whole-block copy whose access pitch is wider than the surface's would
  // run past it: the copy goes line by line, inside the rectangle.
  SurfaceAccess wide = access;
  wide.pitch = 1000;
  std::fill(access.memory, access.memory + 640 * 240, 0x11);
  RECT small{0, 0, 2, 2};
  std::vector<BYTE> buffer(2000, 0xEE);
  EXPECT_EQ(object->writeRect(object, buffer.data(), 1000, &small, &wide, &small), 0);
  for (int i = 0; i < 640 * 240; ++i) {
    const bool written = i < 4 || (i >= 1000 && i < 1004);
    ASSERT_EQ(access.memory[i], written ? 0xEE : 0x11) << i;
  }
  // Line by line with an access pitch whose lines reach past the surface's
  // memory (or before it): refused, and nothing written.
  const std::size_t surfaceBytes = 640 * 240;
  std::vector<BYTE> saved(access.memory, access.memory + surfaceBytes + 1000 * 10);
  for (LONG pitch : {1000, -640}) {
    SCOPED_TRACE(pitch);
    SurfaceAccess odd = access;
    odd.pitch = pitch;
    RECT low{0, 230, 2, 240}, host{0, 0, 2, 10};
    EXPECT_EQ(object->writeRect(object, buffer.data(), 4, &host, &odd, &low), errGeometry);
    EXPECT_EQ(object->readRect(object, &odd, &low, buffer.data(), 4, &host), errGeometry);
  }
  EXPECT_TRUE(std::equal(saved.begin(), saved.end(), access.memory));

  RECT r{0, 0, 1, 1};
  EXPECT_EQ(object->readRect(object, &access, &r, nullptr, 2, &r), errNullArgument);
  EXPECT_EQ(object->readRect(nullptr, &access, &r, host.data(), 2, &r), errNullArgument);
  EXPECT_EQ(object->readRect(object, nullptr, &r, host.data(), 2, &r), errNullArgument);
  EXPECT_EQ(object->writeRect(object, host.data(), 2, nullptr, &access, &r), errNullArgument);
  EXPECT_EQ(object->writeRect(object, host.data(), 2, &r, &access, nullptr), errNullArgument);
}

}  // namespace
}  // namespace ovlport_test
