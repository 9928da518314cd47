#include "overlay/negotiate.h"

#include <cstring>
#include <vector>

#include "overlay/overlay_fixture.h"

namespace ovlport_test {
namespace {

using namespace ovlport;

class NegotiateTest : public OverlayTest {
 protected:
  LONG negotiateWith(DWORD flags, const OverlayDescriptor& host, OverlayDescriptor& answer) {
    OverlayDescriptor h = host;
    std::memset(&answer, 0xA5, sizeof answer);
    const LONG rc = table()->negotiate(table(), flags, &h, &answer);
    EXPECT_EQ(std::memcmp(&h, &host, sizeof h), 0) << "the host descriptor is only read";
    return rc;
  }
  static OverlayDescriptor host() {
    OverlayDescriptor d = descriptor(0);
    d.caps.formats = 0;
    d.caps.format = 0;
    d.caps.keyColor = 0x123456;
    for (int i = 0; i < capabilityValueCount; ++i) d.caps.capabilityValues[i] = 0xC0DE0000 + i;
    return d;
  }
};

TEST_F(NegotiateTest, AnswerWithoutRequestFlags) {
  for (int bits : {16, 24}) {
    load(3, bits);
    OverlayDescriptor answer;
    ASSERT_EQ(negotiateWith(0, host(), answer), 0);
    OverlayDescriptor expected = host();
    expected.caps.capFlags = 0x7F0F0F;
    expected.caps.revision = 8;
    expected.caps.formats = 6;
    expected.caps.format = 6;
    expected.caps.keyColor = bits == 16 ? 1 : 0x123456;
    expected.caps.generationMask = 0x830C3;
    const std::vector<std::pair<int, DWORD>> values = {
        {64, 2},       {68, 1},        {140, 1},       {156, 1},       {160, 8184},    {164, 1},
        {168, 8184},   {172, 1023},    {176, 1023},    {180, 0},       {184, 0},       {188, 749},
        {192, 599},    {196, 1},       {200, 750},     {204, 1},       {208, 600},     {212, 0x80000},
        {216, 0x10000}, {220, 0x80000}, {224, 0x10000}, {228, 749},     {232, 599},     {236, 1},
        {240, 750},    {244, 1},       {248, 600},     {252, 0x10000}, {256, 0x1000000}, {260, 0x10000},
        {264, 0x1000000}, {268, 0xFFFFFFFF}, {272, 0xFFFFFFFF}, {276, 1}, {280, 640}, {284, 1}, {288, 480}};
    for (int offset = 72; offset <= 136; offset += 4) expected.caps.capabilityValues[(offset - 64) / 4] = 1;
    for (const auto& [offset, value] : values) expected.caps.capabilityValues[(offset - 64) / 4] = value;
    // +144 to +152 keep the host's values.
    EXPECT_EQ(std::memcmp(&answer, &expected, sizeof answer), 0) << bits << " bits";
  }
}

TEST_F(NegotiateTest, RequestFlagCases) {
  struct Case {
    const char* name;
    DWORD flags;
    void (*change)(OverlayDescriptor&);
    LONG result;
    DWORD formats, format;  // in the answer
  };
  const Case cases[] = {
      {"formats fixed at 3", 0x4, [](OverlayDescriptor& d) { d.caps.formats = 3; }, errFormat, 3, 3},
      {"fixed 2, chosen 4", 0xC, [](OverlayDescriptor& d) { d.caps.formats = 2, d.caps.format = 4; },
       errFormatMismatch, 2, 4},
      {"fixed 3, chosen 3", 0xC, [](OverlayDescriptor& d) { d.caps.formats = 3, d.caps.format = 3; },
       errFormatMismatch, 3, 3},
      {"chosen 4", 0x8, [](OverlayDescriptor& d) { d.caps.format = 4; }, 0, 4, 4},
      {"fixed 2", 0x4, [](OverlayDescriptor& d) { d.caps.formats = 2; }, 0, 2, 2},
  };
  load();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    OverlayDescriptor h = host();
    c.change(h);
    OverlayDescriptor answer;
    EXPECT_EQ(negotiateWith(c.flags, h, answer), c.result);
    EXPECT_EQ(answer.caps.formats, c.formats);
    EXPECT_EQ(answer.caps.format, c.format);
    EXPECT_EQ(answer.caps.capabilityValues[0], 2u);  // the answer is complete
    EXPECT_EQ(answer.caps.keyColor, 1u);
  }
}

TEST_F(NegotiateTest, RefusalsStopEarly) {
  load();
  OverlayDescriptor h = host();
  h.caps.capFlags = 0x10;
  OverlayDescriptor answer;
  EXPECT_EQ(negotiateWith(0x2, h, answer), errCapabilityFlags);
  EXPECT_EQ(std::memcmp(&answer, &h, sizeof h), 0);  // the plain copy

  h = host();
  h.caps.revision = 7;
  EXPECT_EQ(negotiateWith(0x1, h, answer), errRevision);
  EXPECT_EQ(answer.caps.revision, 8u);
  EXPECT_EQ(answer.caps.capabilityValues[0], 0xC0DE0000u);  // no defaults yet

  // A destination one pixel beyond the screen, with or without host geometry.
  for (DWORD capFlags : {0u, 0x8u}) {
    h = host();
    h.caps.capFlags = capFlags;
    h.window.destRect.right = 641;
    EXPECT_EQ(negotiateWith(0x42, h, answer), errGeometry);
  }
  h = host();
  h.caps.capFlags = 0x8;
  EXPECT_EQ(negotiateWith(0x42, h, answer), 0);
  h.window.imageRect.right = 300;  // not a whole eighth of 640 on generation 3
  EXPECT_EQ(negotiateWith(0x42, h, answer), errGeometry);

  OverlayDescriptor d = host();
  EXPECT_EQ(table()->negotiate(nullptr, 0, &d, &answer), errNullArgument);
  EXPECT_EQ(table()->negotiate(table(), 0, nullptr, &answer), errNullArgument);
  EXPECT_EQ(table()->negotiate(table(), 0, &d, nullptr), errNullArgument);
}

TEST_F(NegotiateTest, KeyColourAgainstTheScreenDepth) {
  struct Case {
    int bits;
    DWORD key;
    LONG result;
  };
  const Case cases[] = {{8, 255, 0},           {8, 256, errKeyColor},        {16, 0x0100FFFF, 0},
                        {16, 0xFFFF, 0},       {16, 0x10000, errKeyColor},   {16, 0x02000000, errKeyColor},
                        {24, 0x1FFFFFF, 0},    {24, 0x2000000, errKeyColor}, {32, 0xFFFFFFFF, errUnavailable}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.bits << " bits, key " << std::hex << c.key);
    load(3, 16);
    screen->bitsPerPixel = c.bits;  // the check reads the screen again
    OverlayDescriptor h = host();
    h.caps.keyColor = c.key;
    OverlayDescriptor answer;
    if (c.result == errUnavailable) {
      // A 32-bit screen makes the overlay unavailable from then on.
      EXPECT_EQ(negotiateWith(0x20, h, answer), 0);
      EXPECT_EQ(negotiateWith(0x20, h, answer), errUnavailable);
      continue;
    }
    EXPECT_EQ(negotiateWith(0x20, h, answer), c.result);
    EXPECT_EQ(answer.caps.keyColor, c.key);
    EXPECT_EQ(answer.caps.capabilityValues[0], 2u);
  }
}

TEST_F(NegotiateTest, GenerationsDifferInFiveFieldsOnly) {
  OverlayDescriptor answers[2];
  for (int i = 0; i < 2; ++i) {
    load(3 + i);
    ASSERT_EQ(negotiateWith(0, host(), answers[i]), 0);
  }
  const auto* a = reinterpret_cast<const BYTE*>(&answers[0]);
  const auto* b = reinterpret_cast<const BYTE*>(&answers[1]);
  std::vector<std::size_t> differing;
  for (std::size_t offset = 0; offset < sizeof(OverlayDescriptor); offset += 4)
    if (std::memcmp(a + offset, b + offset, 4) != 0) differing.push_back(offset);
  const std::size_t caps = offsetof(OverlayDescriptor, caps);
  const std::size_t values = caps + offsetof(OverlayCaps, capabilityValues);
  EXPECT_THAT(differing, ::testing::ElementsAre(caps + offsetof(OverlayCaps, generationMask), values + (172 - 64),
                                                values + (176 - 64), values + (212 - 64), values + (220 - 64)));
  EXPECT_EQ(answers[1].caps.generationMask, 0x83303u);
  EXPECT_EQ(answers[1].caps.capabilityValues[(212 - 64) / 4], 0x8000000u);
}

TEST_F(NegotiateTest, UnavailableBelowGeneration3) {
  load(2);
  OverlayDescriptor h = host(), answer;
  std::memset(&answer, 0, sizeof answer);
  ovlport::VpmDriverTable fake{};
  fake.size = sizeof fake;
  EXPECT_EQ(negotiate(&fake, 0, &h, &answer), errUnavailable);
}

}  // namespace
}  // namespace ovlport_test
