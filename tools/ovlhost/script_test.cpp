#include "script.h"

#include <gtest/gtest.h>

namespace ovlhost {
namespace {

constexpr const char* kSession = R"({
  "machine": {"width": 800, "height": 600, "bitsPerPixel": 16, "generation": 4, "videoMemory": "0x200000",
              "rgb": true, "palette": ["#000000", "#ff00ff"],
              "picture": {"fill": "#000080", "rects": [{"rect": [10, 20, 330, 260], "color": "key"},
                                                      {"rect": [0, 0, 4, 4], "color": {"index": 7}}]}},
  "frame": {"number": 42},
  "steps": [
    {"step": "vpmDriverProc"},
    {"step": "negotiate", "flags": 12, "descriptor": {"formats": 2, "format": 2}},
    {"step": "openOverlay", "descriptor": {"ownerWindow": "0x10001", "noticeCallback": true, "revision": 8,
      "formats": 2, "format": 2, "capFlags": "0x10108", "keyColor": 63519, "register0BSetting": 3,
      "window": {"frameWidth": 640, "frameHeight": 480, "captureRect": [0, 0, 640, 480],
                 "surfaceWidth": 320, "surfaceHeight": 240, "imageRect": [0, 0, 320, 240],
                 "displayRect": [0, 0, 320, 240], "destRect": [-100, 10, 220, 250]}}},
    {"step": "writeRect", "surfaceRect": [0, 0, 4, 2], "hostRect": [1, 1, 5, 3], "pitch": 100, "pattern": 63488},
    {"step": "setAttributes", "mask": 1, "values": [1, 2, 3, 4, 5], "null": "request"},
    {"step": "modeChange", "bitsPerPixel": 24},
    {"step": "DriverProc", "message": 12}
  ]
})";

TEST(Script, ReadsTheMachineAndEveryNamedField) {
  Script script;
  std::string error;
  ASSERT_TRUE(parseScript(kSession, script, error)) << error;
  const MachineSpec& m = script.machine;
  EXPECT_EQ(m.width, 800);
  EXPECT_EQ(m.generation, 4);
  EXPECT_EQ(m.videoMemory, 0x200000u);
  ASSERT_EQ(m.palette.size(), 2u);
  EXPECT_EQ(m.palette[1], (Rgb{255, 0, 255}));
  EXPECT_EQ(m.fill.rgb, (Rgb{0, 0, 128}));
  ASSERT_EQ(m.rects.size(), 2u);
  EXPECT_EQ(m.rects[0].colour.kind, PictureColour::Kind::key);
  EXPECT_EQ(m.rects[0].rect, (RectFields{10, 20, 330, 260}));
  EXPECT_EQ(m.rects[1].colour.kind, PictureColour::Kind::index);
  EXPECT_EQ(m.rects[1].colour.index, 7u);
  EXPECT_EQ(script.frame.number, 42u);

  ASSERT_EQ(script.steps.size(), 7u);
  EXPECT_EQ(script.steps[0].kind, StepKind::vpmDriverProc);
  EXPECT_EQ(script.steps[0].interfaceId, 0x4001u);  // the defaults a host asks with
  EXPECT_EQ(script.steps[0].version, 0x10100u);
  EXPECT_EQ(script.steps[1].flags, 12u);
  const Step& open = script.steps[2];
  EXPECT_EQ(open.number, 3);
  EXPECT_EQ(open.descriptor.ownerWindow, 0x10001u);
  EXPECT_TRUE(open.descriptor.noticeCallback);
  EXPECT_EQ(open.descriptor.capFlags, 0x10108u);
  EXPECT_EQ(open.descriptor.keyColor, 0xF81Fu);
  EXPECT_EQ(open.descriptor.register0BSetting, 3u);
  EXPECT_EQ(open.descriptor.generationMask, 0u);  // not named: zero
  EXPECT_EQ(open.descriptor.window.destRect, (RectFields{-100, 10, 220, 250}));
  EXPECT_EQ(open.descriptor.window.surfaceHeight, 240);
  EXPECT_EQ(script.steps[3].pattern, 0xF800);
  EXPECT_EQ(script.steps[3].hostRect, (RectFields{1, 1, 5, 3}));
  EXPECT_EQ(script.steps[4].values, (std::array<std::uint8_t, 5>{1, 2, 3, 4, 5}));
  EXPECT_EQ(script.steps[4].nullArgument, "request");
  EXPECT_EQ(script.steps[5].bitsPerPixel, 24);
  EXPECT_EQ(script.steps[5].width, 0);  // not given: the screen keeps its size
  EXPECT_EQ(script.steps[6].message, 12u);
}

struct BadScript {
  const char* text;
  const char* message;
};

// Test names show the expected message, not the whole script.
void PrintTo(const BadScript& c, std::ostream* os) { *os << c.message; }

class BadScripts : public ::testing::TestWithParam<BadScript> {};

TEST_P(BadScripts, AreRefusedWithAMessageNamingTheStepAndField) {
  Script script;
  std::string error;
  EXPECT_FALSE(parseScript(GetParam().text, script, error));
  EXPECT_EQ(error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, BadScripts,
    ::testing::Values(
        BadScript{R"({"machine": {}, "steps": [{"step": "show"}, {"step": "flip"}]})", "step 2: unknown step \"flip\""},
        BadScript{R"({"machine": {}, "steps": [{"flags": 1}]})",
                  "step 1: field \"step\": expected the name of the step"},
        BadScript{R"({"machine": {}, "steps": [{"step": "negotiate", "descriptor": {}}]})",
                  "step 1 (negotiate): field \"flags\": is missing"},
        BadScript{R"({"machine": {}, "steps": [{"step": "negotiate", "flags": "many", "descriptor": {}}]})",
                  "step 1 (negotiate): field \"flags\": expected an integer, got the text \"many\""},
        BadScript{R"({"machine": {}, "steps": [{"step": "lock", "flags": [8]}]})",
                  "step 1 (lock): field \"flags\": expected an integer, got array"},
        BadScript{R"({"machine": {}, "steps": [{"step": "lock", "flags": 4294967296}]})",
                  "step 1 (lock): field \"flags\": out of range for a 32-bit value"},
        BadScript{R"({"machine": {}, "steps": [{"step": "setWindow", "window": {"destRect": [0, 0, 1]}}]})",
                  "step 1 (setWindow): field \"window.destRect\": expected an array of 4 integers (left, top, "
                  "right, bottom)"},
        BadScript{R"({"machine": {}, "steps": [{"step": "setWindow", "window": {"destRect": [0, 0, 1, true]}}]})",
                  "step 1 (setWindow): field \"window.destRect[3]\": expected an integer, got boolean"},
        BadScript{R"({"machine": {}, "steps": [{"step": "configure", "descriptor": {"colorKey": 5}}]})",
                  "step 1 (configure): field \"descriptor.colorKey\": is not a field here"},
        BadScript{R"({"machine": {}, "steps": [{"step": "configure", "descriptor": {"noticeCallback": 1}}]})",
                  "step 1 (configure): field \"descriptor.noticeCallback\": expected true or false, got number"},
        BadScript{R"({"machine": {}, "steps": [{"step": "show", "flags": 1}]})",
                  "step 1 (show): field \"flags\": is not a field of this step"},
        BadScript{R"({"machine": {}, "steps": [{"step": "show", "null": "window"}]})",
                  "step 1 (show): field \"null\": \"window\" is not a pointer argument of this step"},
        BadScript{R"({"machine": {}, "steps": [{"step": "writeRect", "surfaceRect": [0, 0, 1, 1],
                     "hostRect": [0, 0, 1, 1], "pitch": 2, "pattern": 65536}]})",
                  "step 1 (writeRect): field \"pattern\": expected a value from 0 to 65535"},
        BadScript{R"({"machine": {"bitsPerPixel": "deep"}, "steps": []})",
                  "machine: field \"bitsPerPixel\": expected an integer, got the text \"deep\""},
        BadScript{R"({"machine": {}, "steps": [{"step": "modeChange", "bitsPerPixel": 15}]})",
                  "step 1 (modeChange): field \"bitsPerPixel\": expected 8, 16, 24 or 32"},
        BadScript{R"({"machine": {"depth": 16}, "steps": []})", "machine: field \"depth\": is not a field here"},
        BadScript{R"({"machine": {"picture": {"rects": [{"rect": [0, 0, 1, 1], "color": "red"}]}}, "steps": []})",
                  "machine: field \"picture.rects[0].color\": expected \"#rrggbb\", \"key\" or {\"index\": n}"},
        // Six hex digits, no sign: strtoul alone would take "-00001" as white.
        BadScript{R"({"machine": {"picture": {"fill": "#-00001"}}, "steps": []})",
                  "machine: field \"picture.fill\": expected \"#rrggbb\", \"key\" or {\"index\": n}"},
        BadScript{R"({"steps": []})", "script: field \"machine\": is missing"},
        BadScript{R"({"machine": {}, "steps": {}})", "script: field \"steps\": expected an array, got object"},
        BadScript{R"({"machine": {}, "steps": [] )", "not a JSON text"},
        BadScript{R"([1, 2])", "expected an object with \"machine\" and \"steps\""}));

TEST(Script, EveryCutOfAGoodScriptIsRefusedWithoutHarm) {
  // Truncated texts are never valid JSON: each must be refused with a
  // message, and none may crash the reader (the sanitizer build watches).
  const std::string text = kSession;
  for (std::size_t cut = 0; cut + 1 < text.size(); cut += 7) {
    Script script;
    std::string error;
    EXPECT_FALSE(parseScript(text.substr(0, cut), script, error)) << cut;
    EXPECT_FALSE(error.empty()) << cut;
  }
}

}  // namespace
}  // namespace ovlhost
