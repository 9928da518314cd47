// The session script ovlhost runs: the simulated notebook to run on and the
// host's calls and simulator events, in order.
//
// A script is a JSON object:
//   {"machine": {...}, "frame": {...}, "steps": [{"step": "<name>", ...}, ...]}
// Numbers may be JSON integers or texts holding one ("0x7F0F0F").  Records
// are given by their named fields; fields not named stay zero.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture_engine.h"

namespace ovlhost {

// Exit code of a script that cannot be run as written.
inline constexpr int kBadScriptExit = 2;

// A colour of the screen's picture: an RGB colour drawn in the screen's
// pixel form, a palette index (8-bit screens), or the key colour the driver
// proposes for the screen depth.
struct PictureColour {
  enum class Kind { rgb, index, key } kind = Kind::rgb;
  Rgb rgb;
  std::uint32_t index = 0;
};

struct PictureRect {
  std::array<std::int32_t, 4> rect{};  // left, top, right, bottom
  PictureColour colour;
};

struct MachineSpec {
  int width = 640;
  int height = 480;
  int bitsPerPixel = 16;
  int generation = 3;
  std::uint32_t videoMemory = 2u << 20;
  bool rgb = true;           // the primary surface's pixel format carries DDPF_RGB
  std::vector<Rgb> palette;  // entries from 0 on; the rest keep the default palette
  PictureColour fill;
  std::vector<PictureRect> rects;
};

struct FrameSpec {
  std::uint32_t number = 1;
};

using RectFields = std::array<std::int32_t, 4>;

// The OverlayWindow's named fields.
struct WindowFields {
  std::int32_t frameWidth = 0;
  std::int32_t frameHeight = 0;
  RectFields captureRect{};
  std::int32_t surfaceWidth = 0;
  std::int32_t surfaceHeight = 0;
  RectFields imageRect{};
  RectFields displayRect{};
  RectFields destRect{};
};

// The OverlayDescriptor's named fields.
struct DescriptorFields {
  std::uint32_t ownerWindow = 0;
  bool noticeCallback = false;
  std::uint32_t revision = 0;
  std::uint32_t formats = 0;
  std::uint32_t format = 0;
  std::uint32_t capFlags = 0;
  std::uint32_t generationMask = 0;
  std::uint32_t keyColor = 0;
  std::uint32_t register0BSetting = 0;
  WindowFields window;
};

enum class StepKind {
  // The driver's exports and table.
  DriverProc,
  vpmDriverProc,
  closeDriver,
  queryDriver,
  negotiate,
  openOverlay,
  getAttributes,
  setAttributes,
  // The overlay object.
  close,
  show,
  hide,
  showSurface,
  hideSurface,
  getDescriptor,
  configure,
  reservedOp1,
  setWindow,
  lock,
  unlock,
  readRect,
  writeRect,
  reservedOp2,
  // Events of the simulated notebook.
  loseSurfaces,
  modeChange,
  shrinkVideoMemory,
  failNextGlobalAlloc,
  captureFrame,
};

struct Step {
  int number = 0;  // 1 for the first step
  StepKind kind = StepKind::queryDriver;
  std::string name;
  // The pointer argument passed as null instead ("slot", "descriptor",
  // "answer", "window", "object", "table", "request", "buffer"), or empty.
  std::string nullArgument;
  // DriverProc
  std::uint32_t driverId = 0;
  std::uint32_t driverHandle = 0;
  std::uint32_t message = 0;
  std::uint32_t param1 = 0;
  std::uint32_t param2 = 0;
  // vpmDriverProc
  std::uint32_t interfaceId = 0x4001;
  std::uint32_t version = 0x10100;
  // negotiate, lock: request flags
  std::uint32_t flags = 0;
  // queryDriver: the size word of the table record handed over (the
  // driver's own table when not given)
  std::optional<std::uint32_t> tableSize;
  // getAttributes / setAttributes request record
  std::uint32_t size = 16;
  std::uint32_t mask = 0;
  std::array<std::uint8_t, 5> values{};
  // negotiate (host descriptor), openOverlay, configure
  DescriptorFields descriptor;
  // setWindow
  WindowFields window;
  // readRect / writeRect
  RectFields surfaceRect{};
  RectFields hostRect{};
  std::uint32_t pitch = 0;
  std::uint16_t pattern = 0;  // writeRect: the host buffer's pixel word
  // reservedOp1 / reservedOp2
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  // modeChange
  int bitsPerPixel = 0;
  int width = 0;
  int height = 0;
  // shrinkVideoMemory
  std::uint32_t bytes = 0;
};

struct Script {
  MachineSpec machine;
  FrameSpec frame;
  std::vector<Step> steps;
};

// Reads a script from its text.  On failure the message names the place
// ("step 3 (setWindow): field \"window.destRect\": ...").
bool parseScript(std::string_view text, Script& script, std::string& error);

// The step names, for messages and the output.
std::string_view stepName(StepKind kind);

}  // namespace ovlhost
