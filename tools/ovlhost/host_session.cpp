#include "host_session.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "overlay/driver_inspection.h"
#include "overlay/host_records.h"
#include "screen_picture.h"
#include "sim/direct_draw_sim.h"
#include "sim/display_sim.h"
#include "sim/global_memory_sim.h"

namespace ovlhost {

namespace {

using Json = nlohmann::ordered_json;
using namespace ovlport;

using DriverProcFn = LRESULT(WINAPI*)(DWORD_PTR, HANDLE, UINT, LPARAM, LPARAM);
using VpmDriverProcFn = LONG(WINAPI*)(DWORD, DWORD, VpmDriverTable**);
using InspectionFn = DriverInspection* (*)();

// Notices the driver hands to the host's callback during one step.
std::vector<std::pair<DWORD, DWORD>> noticesReceived;

void WINAPI hostNotice(DWORD notice, DWORD argument) { noticesReceived.emplace_back(notice, argument); }

Json rectJson(const RECT& r) { return Json::array({r.left, r.top, r.right, r.bottom}); }
RECT toRect(const RectFields& f) { return RECT{f[0], f[1], f[2], f[3]}; }

Json windowJson(const OverlayWindow& w) {
  Json j;
  j["frameWidth"] = w.frameWidth;
  j["frameHeight"] = w.frameHeight;
  j["captureRect"] = rectJson(w.captureRect);
  j["surfaceWidth"] = w.surfaceSize.width;
  j["surfaceHeight"] = w.surfaceSize.height;
  j["imageRect"] = rectJson(w.imageRect);
  j["displayRect"] = rectJson(w.displayRect);
  j["destRect"] = rectJson(w.destRect);
  return j;
}

Json descriptorJson(const OverlayDescriptor& d) {
  Json j;
  j["ownerWindow"] = d.ownerWindow;
  j["noticeCallback"] = d.noticeCallback != nullptr;
  j["revision"] = d.caps.revision;
  j["formats"] = d.caps.formats;
  j["format"] = d.caps.format;
  j["capFlags"] = d.caps.capFlags;
  j["generationMask"] = d.caps.generationMask;
  j["keyColor"] = d.caps.keyColor;
  j["register0BSetting"] = d.caps.register0BSetting;
  j["window"] = windowJson(d.window);
  j["capabilityValues"] =
      Json(std::vector<DWORD>(std::begin(d.caps.capabilityValues), std::end(d.caps.capabilityValues)));
  return j;
}

void fillWindow(const WindowFields& f, OverlayWindow& w) {
  w.frameWidth = f.frameWidth;
  w.frameHeight = f.frameHeight;
  w.captureRect = toRect(f.captureRect);
  w.surfaceSize = {f.surfaceWidth, f.surfaceHeight};
  w.imageRect = toRect(f.imageRect);
  w.displayRect = toRect(f.displayRect);
  w.destRect = toRect(f.destRect);
}

void fillDescriptor(const DescriptorFields& f, OverlayDescriptor& d) {
  d = OverlayDescriptor{};
  d.ownerWindow = f.ownerWindow;
  d.noticeCallback = f.noticeCallback ? &hostNotice : nullptr;
  d.caps.revision = f.revision;
  d.caps.formats = f.formats;
  d.caps.format = f.format;
  d.caps.capFlags = f.capFlags;
  d.caps.generationMask = f.generationMask;
  d.caps.keyColor = f.keyColor;
  d.caps.register0BSetting = static_cast<BYTE>(f.register0BSetting);
  fillWindow(f.window, d.window);
}

std::string hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

std::string portText(const sim::PortAccess& a) {
  switch (a.kind) {
    case sim::PortAccess::Kind::in8:
      return "in8 " + hex(a.port, 3) + " " + hex(a.value, 2);
    case sim::PortAccess::Kind::out8:
      return "out8 " + hex(a.port, 3) + " " + hex(a.value, 2);
    case sim::PortAccess::Kind::out16:
      return "out16 " + hex(a.port, 3) + " " + hex(a.value, 4);
  }
  return "?";
}

// The running session: the driver's entry points and the simulated notebook
// behind it.
class Session {
 public:
  Session(const Script& script, const SessionOptions& options, std::FILE* out, std::FILE* err)
      : script_(script), options_(options), out_(out), err_(err) {}

  int run(const std::string& scriptName);

 private:
  bool load(std::string& error);
  bool setUpMachine(std::string& error);
  // Runs one step into j; false with error for a step that cannot be run.
  bool runStep(const Step& step, Json& j, std::string& error);
  bool tableStep(const Step& step, Json& j, std::string& error);
  bool objectStep(const Step& step, Json& j, std::string& error);
  bool rectStep(const Step& step, Json& j, std::string& error);
  void eventStep(const Step& step, Json& j);

  void drawPicture();
  std::uint32_t pictureValue(const PictureColour& colour) const;
  Json capture();
  Json finalState();
  bool writePictures(std::string& error);
  SurfaceView primaryView(std::array<Rgb, 256>& palette);
  // An address as its offset from the screen memory (null stays null).
  Json screenOffset(const void* address) const {
    if (address == nullptr) return nullptr;
    return static_cast<long long>(reinterpret_cast<std::uintptr_t>(address) -
                                  reinterpret_cast<std::uintptr_t>(directDraw_->screenMemory()));
  }

  const Script& script_;
  const SessionOptions& options_;
  std::FILE* out_;
  std::FILE* err_;

  DriverProcFn driverProc_ = nullptr;
  VpmDriverProcFn vpmDriverProc_ = nullptr;
  DriverState* state_ = nullptr;
  sim::DisplayController* controller_ = nullptr;
  sim::SimScreen* screen_ = nullptr;
  sim::SimDirectDraw* directDraw_ = nullptr;
  sim::SimGlobalMemory* globalMemory_ = nullptr;

  VpmDriverTable* table_ = nullptr;
  OverlayObject* object_ = nullptr;
  SurfaceAccess access_{};
  bool haveAccess_ = false;
  OverlayWindow lastWindow_{};
  std::uint32_t frameNumber_ = 0;
};

// The machine profile the library reads as it loads: the script's display.
bool writeProfile(const MachineSpec& m, std::filesystem::path& file, std::string& error) {
  char folder[] = "/tmp/ovlhost-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    error = "cannot make a temporary folder for the machine profile";
    return false;
  }
  file = std::filesystem::path(folder) / "machine.toml";
  std::ofstream profile(file);
  profile << "# The notebook of an ovlhost script.\n"
          << "platform = \"windows95\"\n\n[display]\n"
          << "generation = " << m.generation << "\n"
          << "bits_per_pixel = " << m.bitsPerPixel << "\n"
          << "width = " << m.width << "\n"
          << "height = " << m.height << "\n"
          << "video_memory = " << m.videoMemory << "\n";
  profile.close();
  if (!profile) {
    error = "cannot write " + file.string();
    return false;
  }
  return true;
}

bool Session::load(std::string& error) {
  std::filesystem::path profile;
  if (!writeProfile(script_.machine, profile, error)) return false;
  setenv(sim::kMachineVariable, profile.c_str(), 1);
  void* library = dlopen(options_.driver.c_str(), RTLD_NOW | RTLD_LOCAL);
  std::error_code ignored;
  std::filesystem::remove_all(profile.parent_path(), ignored);
  if (library == nullptr) {
    const char* why = dlerror();
    error = "cannot load the driver " + options_.driver.string() + ": " + (why != nullptr ? why : "?");
    return false;
  }
  // A host reaches the driver through its two exports only.
  driverProc_ = reinterpret_cast<DriverProcFn>(dlsym(library, "DriverProc"));
  vpmDriverProc_ = reinterpret_cast<VpmDriverProcFn>(dlsym(library, "vpmDriverProc"));
  auto inspection = reinterpret_cast<InspectionFn>(dlsym(library, inspectionSymbol));
  if (driverProc_ == nullptr || vpmDriverProc_ == nullptr || inspection == nullptr) {
    error = options_.driver.string() + " lacks DriverProc, vpmDriverProc or " + inspectionSymbol;
    return false;
  }
  DriverInspection* view = inspection();
  state_ = view->state;
  // On Linux the library always runs on the simulated notebook.
  controller_ = static_cast<sim::DisplayController*>(view->platform->ports);
  screen_ = static_cast<sim::SimScreen*>(view->platform->screen);
  directDraw_ = static_cast<sim::SimDirectDraw*>(view->platform->directDrawApi);
  globalMemory_ = static_cast<sim::SimGlobalMemory*>(view->platform->globalMemory);
  if (state_ == nullptr || controller_ == nullptr || screen_ == nullptr || directDraw_ == nullptr ||
      globalMemory_ == nullptr) {
    error = options_.driver.string() + " does not run on the simulated notebook";
    return false;
  }
  return true;
}

bool Session::setUpMachine(std::string& error) {
  const MachineSpec& m = script_.machine;
  for (std::size_t i = 0; i < m.palette.size(); ++i)
    screen_->palette[i] = PALETTEENTRY{m.palette[i].r, m.palette[i].g, m.palette[i].b, 0};
  if (!m.rgb) {
    sim::DisplayMode mode = directDraw_->mode();
    mode.rgb = false;
    directDraw_->setMode(mode);
  }
  if (directDraw_->mode().width != m.width || directDraw_->mode().height != m.height ||
      directDraw_->mode().bitsPerPixel != m.bitsPerPixel) {
    error = "the driver did not take the script's screen mode";
    return false;
  }
  drawPicture();
  return true;
}

// --- The screen's picture ---

std::uint32_t Session::pictureValue(const PictureColour& colour) const {
  const int bits = directDraw_->mode().bitsPerPixel;
  Rgb rgb = colour.rgb;
  if (colour.kind == PictureColour::Kind::key) {
    // The key the driver proposes for the depth: palette index 5, or magenta.
    if (bits == 8) return 5;
    rgb = {255, 0, 255};
  } else if (colour.kind == PictureColour::Kind::index) {
    if (bits == 8) return colour.index & 0xFF;
    const PALETTEENTRY& e = screen_->palette[colour.index & 0xFF];
    rgb = {e.peRed, e.peGreen, e.peBlue};
  }
  if (bits == 8) {
    // The nearest palette entry.
    std::uint32_t best = 0;
    long bestDistance = -1;
    for (std::uint32_t i = 0; i < 256; ++i) {
      const PALETTEENTRY& e = screen_->palette[i];
      const long dr = e.peRed - rgb.r, dg = e.peGreen - rgb.g, db = e.peBlue - rgb.b;
      const long d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) {
        best = i;
        bestDistance = d;
      }
    }
    return best;
  }
  if (bits == 16) return toRgb565(rgb);
  return (static_cast<std::uint32_t>(rgb.r) << 16) | (static_cast<std::uint32_t>(rgb.g) << 8) | rgb.b;
}

void Session::drawPicture() {
  const sim::DisplayMode& mode = directDraw_->mode();
  const int bytes = mode.bytesPerPixel();
  std::span<std::uint8_t> memory = directDraw_->videoMemory();
  auto fill = [&](int left, int top, int right, int bottom, std::uint32_t value) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, mode.width);
    bottom = std::min(bottom, mode.height);
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) {
        const std::size_t at =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(mode.width) + static_cast<std::size_t>(x)) *
            static_cast<std::size_t>(bytes);
        for (int b = 0; b < bytes && at + static_cast<std::size_t>(b) < memory.size(); ++b)
          memory[at + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(value >> (8 * b));
      }
  };
  fill(0, 0, mode.width, mode.height, pictureValue(script_.machine.fill));
  for (const PictureRect& r : script_.machine.rects)
    fill(r.rect[0], r.rect[1], r.rect[2], r.rect[3], pictureValue(r.colour));
}

// --- Steps ---

bool Session::tableStep(const Step& step, Json& j, std::string& error) {
  if (table_ == nullptr) {
    error = "no driver table: a vpmDriverProc step must succeed first";
    return false;
  }
  // The operations are called through the addresses the driver handed out.
  const VpmDriverTable& ops = *table_;
  VpmDriverTable* table = step.nullArgument == "table" ? nullptr : table_;
  LONG r = 0;
  switch (step.kind) {
    case StepKind::closeDriver:
      r = ops.closeDriver(table);
      break;
    case StepKind::queryDriver: {
      VpmDriverTable copy = *table_;
      if (step.tableSize) copy.size = *step.tableSize;
      r = ops.queryDriver(table == nullptr ? nullptr : step.tableSize ? &copy : table);
      break;
    }
    case StepKind::getAttributes:
    case StepKind::setAttributes: {
      VpmAttributeBlock request{};
      request.size = step.size;
      request.mask = step.mask;
      std::copy(step.values.begin(), step.values.end(), request.attributes);
      VpmAttributeBlock* p = step.nullArgument == "request" ? nullptr : &request;
      r = step.kind == StepKind::getAttributes ? ops.getAttributes(table, p) : ops.setAttributes(table, p);
      j["result"] = r;
      Json block;
      block["size"] = request.size;
      block["mask"] = request.mask;
      block["attributes"] = Json(std::vector<int>(std::begin(request.attributes), std::end(request.attributes)));
      j["request"] = block;
      return true;
    }
    case StepKind::negotiate: {
      OverlayDescriptor host{};
      OverlayDescriptor answer{};
      fillDescriptor(step.descriptor, host);
      r = ops.negotiate(table, step.flags, step.nullArgument == "descriptor" ? nullptr : &host,
                        step.nullArgument == "answer" ? nullptr : &answer);
      j["result"] = r;
      j["answer"] = descriptorJson(answer);
      return true;
    }
    case StepKind::openOverlay: {
      OverlayDescriptor d{};
      fillDescriptor(step.descriptor, d);
      lastWindow_ = d.window;
      OverlayObject* slot = nullptr;
      // A closed object's block stays readable only until the next open,
      // which gives it back whatever it answers.
      const bool closedObject = object_ != nullptr && state_->openObjects == 0;
      r = ops.openOverlay(table, step.nullArgument == "descriptor" ? nullptr : &d,
                          step.nullArgument == "slot" ? nullptr : &slot);
      j["result"] = r;
      if (closedObject) {
        object_ = nullptr;
        haveAccess_ = false;
      }
      if (r == 0 && slot != nullptr) {
        object_ = slot;
        haveAccess_ = false;
      }
      j["object"] = r == 0 && slot != nullptr;
      j["descriptor"] = descriptorJson(d);
      if (r == 0) lastWindow_ = d.window;
      return true;
    }
    default:
      break;
  }
  j["result"] = r;
  return true;
}

bool Session::objectStep(const Step& step, Json& j, std::string& error) {
  if (object_ == nullptr) {
    error = "no overlay object: an openOverlay step must succeed first";
    return false;
  }
  const OverlayObject& ops = *object_;
  OverlayObject* object = step.nullArgument == "object" ? nullptr : object_;
  LONG r = 0;
  switch (step.kind) {
    case StepKind::close:
      r = ops.close(object);
      break;
    case StepKind::show:
      r = ops.show(object);
      break;
    case StepKind::hide:
      r = ops.hide(object);
      break;
    case StepKind::showSurface:
      r = ops.showSurface(object);
      break;
    case StepKind::hideSurface:
      r = ops.hideSurface(object);
      break;
    case StepKind::reservedOp1:
      r = ops.reservedOp1(object, step.a, step.b);
      break;
    case StepKind::reservedOp2:
      r = ops.reservedOp2(object, step.a);
      break;
    case StepKind::unlock:
      r = ops.unlock(object_);
      break;
    case StepKind::getDescriptor: {
      OverlayDescriptor out{};
      r = ops.getDescriptor(object, step.nullArgument == "descriptor" ? nullptr : &out);
      j["result"] = r;
      j["descriptor"] = descriptorJson(out);
      return true;
    }
    case StepKind::configure: {
      OverlayDescriptor d{};
      fillDescriptor(step.descriptor, d);
      r = ops.configure(object, step.nullArgument == "descriptor" ? nullptr : &d);
      j["result"] = r;
      j["descriptor"] = descriptorJson(d);
      if (r == 0) lastWindow_ = d.window;
      return true;
    }
    case StepKind::setWindow: {
      OverlayWindow w{};
      fillWindow(step.window, w);
      r = ops.setWindow(object, step.nullArgument == "window" ? nullptr : &w);
      j["result"] = r;
      j["window"] = windowJson(w);
      if (r == 0) lastWindow_ = w;
      return true;
    }
    case StepKind::lock: {
      // lock and unlock take a valid object and record.
      SurfaceAccess access{};
      access.requestFlags = step.flags;
      r = ops.lock(object_, &access);
      j["result"] = r;
      Json a;
      a["memory"] = screenOffset(access.memory);
      a["pitch"] = access.pitch;
      j["access"] = a;
      if (r == 0 && access.memory != nullptr) {
        access_ = access;
        haveAccess_ = true;
      }
      return true;
    }
    default:
      break;
  }
  j["result"] = r;
  return true;
}

// The largest host buffer a readRect or writeRect step is given.
constexpr long long kMaxHostBuffer = 64LL << 20;

// readRect and writeRect copy between a host buffer and the locked overlay
// memory without checking either; the host keeps both rectangles inside
// their memory, so ovlhost refuses a step whose rectangles reach outside.
bool Session::rectStep(const Step& step, Json& j, std::string& error) {
  if (object_ == nullptr) {
    error = "no overlay object: an openOverlay step must succeed first";
    return false;
  }
  if (!haveAccess_) {
    error = "no surface access: a lock step must succeed first";
    return false;
  }
  const RECT sr = toRect(step.surfaceRect);
  const RECT hr = toRect(step.hostRect);
  const long long pitch = step.pitch;
  // Sizes as the driver compares them: 32-bit differences that wrap.
  const auto extent = [](LONG low, LONG high) { return static_cast<DWORD>(high) - static_cast<DWORD>(low); };
  const bool sameSize = extent(sr.left, sr.right) == extent(hr.left, hr.right) &&
                        extent(sr.top, sr.bottom) == extent(hr.top, hr.bottom);
  std::vector<BYTE> buffer;
  if (sameSize) {
    for (const RECT* r : {&sr, &hr})
      if (r->left < 0 || r->top < 0 || r->right < r->left || r->bottom < r->top) {
        error = "field \"" + std::string(r == &sr ? "surfaceRect" : "hostRect") + "\": a rectangle inside the memory";
        return false;
      }
    if (static_cast<long long>(hr.right) * 2 > pitch) {
      error = "field \"hostRect\": reaches beyond the host pitch";
      return false;
    }
    // Surface side: the whole-block copy reaches height x pitch bytes, the
    // line copy the rectangle; both must lie in video memory.
    const long long accessOffset =
        static_cast<long long>(reinterpret_cast<std::uintptr_t>(access_.memory) -
                               reinterpret_cast<std::uintptr_t>(directDraw_->screenMemory()));
    const long long accessPitch = access_.pitch;
    const long long height = sr.bottom - sr.top;
    long long surfaceEnd = accessOffset + (sr.bottom > 0 ? (sr.bottom - 1) * accessPitch + sr.right * 2LL : 0);
    if (pitch == accessPitch && sr.left == 0 && sr.top == 0 && hr.left == 0 && hr.top == 0)
      surfaceEnd = accessOffset + height * accessPitch;
    if (accessOffset < 0 || surfaceEnd > static_cast<long long>(directDraw_->videoMemory().size())) {
      error = "field \"surfaceRect\": reaches beyond the video memory";
      return false;
    }
    // The host buffer holds every line down to the rectangle's bottom.
    const long long bufferBytes = pitch * std::max<LONG>(hr.bottom, 1);
    if (bufferBytes > kMaxHostBuffer) {
      error = "field \"hostRect\": needs a host buffer of more than " + std::to_string(kMaxHostBuffer >> 20) + " MiB";
      return false;
    }
    buffer.assign(static_cast<std::size_t>(std::max<long long>(bufferBytes, 2)), 0);
  } else {
    buffer.assign(2, 0);
  }
  const OverlayObject& ops = *object_;
  BYTE* data = step.nullArgument == "buffer" ? nullptr : buffer.data();
  SurfaceAccess access = access_;
  RECT surfaceRect = sr;
  RECT hostRect = hr;
  LONG r;
  if (step.kind == StepKind::writeRect) {
    for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
      buffer[i] = static_cast<BYTE>(step.pattern & 0xFF);
      buffer[i + 1] = static_cast<BYTE>(step.pattern >> 8);
    }
    r = ops.writeRect(object_, data, static_cast<LONG>(pitch), &hostRect, &access, &surfaceRect);
  } else {
    r = ops.readRect(object_, &access, &surfaceRect, data, static_cast<LONG>(pitch), &hostRect);
  }
  j["result"] = r;
  if (step.kind == StepKind::readRect && sameSize && r == 0) {
    // The first line of the host rectangle, as 16-bit pixels (up to 16).
    Json pixels = Json::array();
    const long long width = std::min<long long>(hr.right - hr.left, 16);
    for (long long x = 0; x < width; ++x) {
      const std::size_t at = static_cast<std::size_t>(hr.top * pitch + (hr.left + x) * 2);
      pixels.push_back(buffer[at] | (buffer[at + 1] << 8));
    }
    j["firstPixels"] = pixels;
  }
  return true;
}

void Session::eventStep(const Step& step, Json& j) {
  switch (step.kind) {
    case StepKind::loseSurfaces:
      directDraw_->loseSurfaces();
      break;
    case StepKind::modeChange: {
      sim::DisplayMode mode = directDraw_->mode();
      mode.bitsPerPixel = step.bitsPerPixel;
      if (step.width != 0) mode.width = step.width;
      if (step.height != 0) mode.height = step.height;
      const bool changed = directDraw_->setMode(mode);
      if (changed) {
        screen_->bitsPerPixel = mode.bitsPerPixel;
        screen_->width = mode.width;
        screen_->height = mode.height;
        // The display driver paints the screen again in the new mode.
        drawPicture();
      }
      j["changed"] = changed;
      break;
    }
    case StepKind::shrinkVideoMemory:
      j["videoMemory"] = directDraw_->limitVideoMemory(step.bytes);
      break;
    case StepKind::failNextGlobalAlloc:
      globalMemory_->failNextAllocations(1);
      break;
    case StepKind::captureFrame:
      j["capture"] = capture();
      break;
    default:
      break;
  }
}

bool Session::runStep(const Step& step, Json& j, std::string& error) {
  switch (step.kind) {
    case StepKind::DriverProc: {
      const LRESULT r =
          driverProc_(step.driverId, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(step.driverHandle)),
                      step.message, static_cast<LPARAM>(static_cast<std::int32_t>(step.param1)),
                      static_cast<LPARAM>(static_cast<std::int32_t>(step.param2)));
      j["result"] = static_cast<long long>(r);
      j["messageBuffer"] = std::string(state_->messageBuffer, strnlen(state_->messageBuffer, messageBufferSize));
      return true;
    }
    case StepKind::vpmDriverProc: {
      VpmDriverTable* slot = nullptr;
      const LONG r = vpmDriverProc_(step.interfaceId, step.version, step.nullArgument == "slot" ? nullptr : &slot);
      j["result"] = r;
      j["table"] = slot != nullptr;
      if (slot != nullptr) {
        table_ = slot;
        j["tableSize"] = slot->size;
      }
      return true;
    }
    case StepKind::closeDriver:
    case StepKind::queryDriver:
    case StepKind::negotiate:
    case StepKind::openOverlay:
    case StepKind::getAttributes:
    case StepKind::setAttributes:
      return tableStep(step, j, error);
    case StepKind::readRect:
    case StepKind::writeRect:
      return rectStep(step, j, error);
    case StepKind::loseSurfaces:
    case StepKind::modeChange:
    case StepKind::shrinkVideoMemory:
    case StepKind::failNextGlobalAlloc:
    case StepKind::captureFrame:
      eventStep(step, j);
      return true;
    default:
      return objectStep(step, j, error);
  }
}

// --- The capture engine and the picture ---

Json Session::capture() {
  CaptureRegisters regs{};
  for (int index = kFirstCaptureRegister; index <= kLastCaptureRegister; ++index)
    setReg(regs, index, controller_->sequencer(static_cast<BYTE>(index)));
  // The frame the host said arrives: the window in force.
  OverlayWindow w = lastWindow_;
  if (object_ != nullptr && object_->storedDescriptor.window.frameWidth > 0) w = object_->storedDescriptor.window;
  const int width = std::clamp<int>(w.frameWidth, 1, 1023);
  const int height = std::clamp<int>(w.frameHeight, 1, 1023);
  ++frameNumber_;
  const std::uint32_t number = script_.frame.number + frameNumber_ - 1;
  const CaptureResult r =
      captureTestFrame(regs, script_.machine.generation, width, height, number, directDraw_->videoMemory());
  Json j;
  j["frame"] = number;
  j["stored"] = r.stored;
  j["width"] = r.width;
  j["height"] = r.height;
  j["start"] = r.startByte;
  j["pitch"] = r.pitchBytes;
  j["pixelsOutside"] = r.pixelsOutside;
  return j;
}

SurfaceView Session::primaryView(std::array<Rgb, 256>& palette) {
  const sim::DisplayMode& mode = directDraw_->mode();
  SurfaceView v;
  v.memory = directDraw_->videoMemory();
  v.width = mode.width;
  v.height = mode.height;
  v.pitch = mode.width * mode.bytesPerPixel();
  for (std::size_t i = 0; i < 256; ++i)
    palette[i] = {screen_->palette[i].peRed, screen_->palette[i].peGreen, screen_->palette[i].peBlue};
  switch (mode.bitsPerPixel) {
    case 8:
      v.kind = PixelKind::Palette8;
      v.palette = &palette;
      break;
    case 16:
      v.kind = PixelKind::Rgb16;
      break;
    case 24:
      v.kind = PixelKind::Rgb24;
      break;
    default:
      v.kind = PixelKind::Rgb32;
      break;
  }
  if (mode.bitsPerPixel != 16) {
    v.redMask = 0xFF0000;
    v.greenMask = 0x00FF00;
    v.blueMask = 0x0000FF;
  }
  return v;
}

bool Session::writePictures(std::string& error) {
  std::array<Rgb, 256> palette{};
  const SurfaceView primary = primaryView(palette);
  OverlayPlacement place;
  SurfaceView overlay;
  const auto live = directDraw_->liveOverlay();
  bool haveOverlay = false;
  if (live && live->bytes != 0) {
    haveOverlay = true;
    overlay.memory = directDraw_->videoMemory().subspan(live->offset, live->bytes);
    overlay.width = static_cast<int>(live->width);
    overlay.height = static_cast<int>(live->height);
    overlay.pitch = live->pitch;
    overlay.kind = (live->pixelFormat.dwFlags & platform::DDPF_FOURCC) != 0 ? PixelKind::Yuy2 : PixelKind::Rgb16;
    overlay.redMask = live->pixelFormat.dwRBitMask;
    overlay.greenMask = live->pixelFormat.dwGBitMask;
    overlay.blueMask = live->pixelFormat.dwBBitMask;
    // The overlay as the last update that DirectDraw took placed it.
    for (auto it = directDraw_->updates().rbegin(); it != directDraw_->updates().rend(); ++it) {
      if (it->surface != live->id || it->result != 0) continue;
      place.shown = (it->flags & platform::DDOVER_SHOW) != 0;
      if (it->source)
        place.source = {it->source->left, it->source->top, it->source->right, it->source->bottom};
      else
        place.source = {0, 0, overlay.width, overlay.height};
      if (it->dest) place.destination = {it->dest->left, it->dest->top, it->dest->right, it->dest->bottom};
      if ((it->flags & platform::DDOVER_KEYDESTOVERRIDE) != 0 && it->fx) {
        place.keyed = true;
        place.keyLow = it->fx->dckDestColorkey.dwColorSpaceLowValue;
        place.keyHigh = it->fx->dckDestColorkey.dwColorSpaceHighValue;
      } else if ((it->flags & platform::DDOVER_KEYDEST) != 0 && directDraw_->destOverlayKey()) {
        place.keyed = true;
        place.keyLow = directDraw_->destOverlayKey()->dwColorSpaceLowValue;
        place.keyHigh = directDraw_->destOverlayKey()->dwColorSpaceHighValue;
      }
      break;
    }
  }
  // In the in-place mode the overlay surface has no memory of its own: the
  // engine stores the picture straight into the screen memory.
  if (!writePng(options_.png, composeScreen(primary, haveOverlay ? &overlay : nullptr, place), error)) return false;
  if (haveOverlay) {
    std::filesystem::path beside = options_.png;
    beside.replace_filename(options_.png.stem().string() + "-overlay" + options_.png.extension().string());
    if (!writePng(beside, surfaceImage(overlay), error)) return false;
  }
  return true;
}

Json Session::finalState() {
  const DriverState& s = *state_;
  auto offset = [&](const BYTE* p) { return screenOffset(p); };
  Json st;
  st["overlaySupported"] = s.overlaySupported;
  st["directDraw"] = s.directDraw != nullptr;
  st["primarySurface"] = s.primarySurface != nullptr;
  st["overlaySurface"] = s.overlaySurface != nullptr;
  st["primaryBits"] = offset(s.primaryBits);
  st["overlayBits"] = offset(s.overlayBits);
  st["appliedKey"] = s.appliedKey;
  st["notifying"] = s.notifying;
  st["pendingNotice"] = s.pendingNotice;
  st["messageBuffer"] = std::string(s.messageBuffer, strnlen(s.messageBuffer, messageBufferSize));
  st["keyPaletteIndex"] = s.keyPaletteIndex;
  st["overlayPitch"] = s.overlayPitch;
  st["overlayControl"] = s.overlayControl;
  st["placementRetry"] = s.placementRetry;
  st["clearSurface"] = s.clearSurface;
  st["colorKey"] = s.colorKey;
  st["noticeArgument"] = s.noticeArgument;
  st["visibleRect"] = rectJson(s.visibleRect);
  st["surfaceWidth"] = s.surfaceWidth;
  st["surfaceHeight"] = s.surfaceHeight;
  st["surfaceFourCC"] = s.surfaceFourCC;
  st["sourceRect"] = rectJson(s.sourceRect);
  st["inPlaceMode"] = s.inPlaceMode;
  st["createFailure"] = s.createFailure;
  st["key16"] = s.key16;
  st["key24"] = s.key24;
  st["overlaySourceRect"] = rectJson(s.overlaySourceRect);
  st["configuredBytesPerPixel"] = s.configuredBytesPerPixel;
  st["lastConfigureOk"] = s.lastConfigureOk;
  st["overlayShown"] = s.overlayShown;
  st["surfaceShown"] = s.surfaceShown;
  st["controllerGeneration"] = s.controllerGeneration;
  st["openObjects"] = s.openObjects;
  st["bytesPerPixel"] = s.bytesPerPixel;
  st["screenHeight"] = s.screenHeight;
  st["screenWidth"] = s.screenWidth;
  st["overlayOffset"] = s.overlayOffset;
  st["defaultKey"] = s.defaultKey;
  st["driverTable"] = Json{{"size", s.driverTable.size}};
  st["attributeBlock"] = Json{
      {"size", s.attributeBlock.size},
      {"mask", s.attributeBlock.mask},
      {"attributes", std::vector<int>(std::begin(s.attributeBlock.attributes), std::end(s.attributeBlock.attributes))}};
  st["scratchDescriptor"] = descriptorJson(s.scratchDescriptor);
  Json seq;
  for (int index = kFirstCaptureRegister; index <= kLastCaptureRegister; ++index)
    seq[hex(static_cast<unsigned>(index), 2)] = controller_->sequencer(static_cast<BYTE>(index));
  Json books;
  books["directDrawObjects"] = directDraw_->liveObjects();
  books["surfaceLocks"] = directDraw_->heldLocks();
  books["directDrawMisuse"] = directDraw_->misuse;
  books["memoryBlocks"] = globalMemory_->liveBlocks();
  books["memoryLocks"] = globalMemory_->heldLocks();
  books["memoryMisuse"] = globalMemory_->misuse;
  books["deviceContexts"] = screen_->openDCs();
  books["registerViolations"] = controller_->violations().size();
  Json j;
  j["final"] = true;
  j["state"] = st;
  j["sequencer"] = seq;
  j["books"] = books;
  return j;
}

void printLine(std::FILE* out, const Json& j) {
  const std::string text = j.dump();
  std::fprintf(out, "%s\n", text.c_str());
  std::fflush(out);
}

int Session::run(const std::string& scriptName) {
  std::string error;
  if (!load(error) || !setUpMachine(error)) {
    std::fprintf(err_, "ovlhost: %s\n", error.c_str());
    return kSessionFailedExit;
  }
  for (const Step& step : script_.steps) {
    const std::size_t portsBefore = controller_->portAccesses().size();
    const std::size_t callsBefore = directDraw_->calls().size();
    noticesReceived.clear();
    Json j;
    j["step"] = step.number;
    j["name"] = step.name;
    if (!runStep(step, j, error)) {
      std::fprintf(err_, "ovlhost: %s: step %d (%s): %s\n", scriptName.c_str(), step.number, step.name.c_str(),
                   error.c_str());
      return kBadScriptExit;
    }
    if (j.contains("result") && j["result"].is_number_integer()) {
      const std::string name = resultName(j["result"].get<long>());
      const bool driverCode = step.kind != StepKind::DriverProc && step.kind != StepKind::queryDriver;
      if (driverCode && !name.empty()) j["err"] = name;
    }
    if (!noticesReceived.empty()) {
      Json notices = Json::array();
      for (auto [notice, argument] : noticesReceived) notices.push_back({{"notice", notice}, {"argument", argument}});
      j["notices"] = notices;
    }
    if (options_.trace) {
      Json ports = Json::array();
      for (std::size_t i = portsBefore; i < controller_->portAccesses().size(); ++i)
        ports.push_back(portText(controller_->portAccesses()[i]));
      Json calls = Json::array();
      for (std::size_t i = callsBefore; i < directDraw_->calls().size(); ++i) calls.push_back(directDraw_->calls()[i]);
      j["ports"] = ports;
      j["directDrawCalls"] = calls;
    }
    printLine(out_, j);
  }
  Json final = finalState();
  final["capture"] = capture();
  printLine(out_, final);
  if (!options_.png.empty() && !writePictures(error)) {
    std::fprintf(err_, "ovlhost: %s\n", error.c_str());
    return kSessionFailedExit;
  }
  return 0;
}

}  // namespace

std::string resultName(long result) {
  switch (result) {
    case errInterface:
      return "errInterface";
    case errVersion:
      return "errVersion";
    case errUnavailable:
      return "errUnavailable";
    case errNullArgument:
      return "errNullArgument";
    case errInvalidState:
      return "errInvalidState";
    case errAttribute:
      return "errAttribute";
    case errOverlayFailed:
      return "errOverlayFailed";
    case errNoMemory:
      return "errNoMemory";
    case errNoVideoMemory:
      return "errNoVideoMemory";
    case errRevision:
      return "errRevision";
    case errCapabilityFlags:
      return "errCapabilityFlags";
    case errFormat:
      return "errFormat";
    case errFormatMismatch:
      return "errFormatMismatch";
    case errKeyColor:
      return "errKeyColor";
    case errGeometry:
      return "errGeometry";
    case errLocked:
      return "errLocked";
    case errWindowedRefused:
      return "errWindowedRefused";
    case errNotImplemented:
      return "errNotImplemented";
    default:
      return result < 0 ? "unknown" : "";
  }
}

int runSession(const Script& script, const std::string& scriptName, const SessionOptions& options, std::FILE* out,
               std::FILE* err) {
  Session session(script, options, out, err);
  return session.run(scriptName);
}

}  // namespace ovlhost
