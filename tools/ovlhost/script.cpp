#include "script.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>

namespace ovlhost {

namespace {

using nlohmann::json;

// The fields a step may carry.
enum class Field {
  message,
  driverId,
  driverHandle,
  param1,
  param2,
  interfaceId,
  version,
  flags,
  tableSize,
  size,
  mask,
  values,
  descriptor,
  window,
  surfaceRect,
  hostRect,
  pitch,
  pattern,
  a,
  b,
  bitsPerPixel,
  width,
  height,
  bytes,
  null,
};

struct FieldUse {
  Field field = Field::null;
  const char* name = nullptr;  // null: no field in this slot
  bool required = false;
};

struct StepSpec {
  const char* name;
  StepKind kind;
  FieldUse fields[6];
};

constexpr FieldUse nullArg{Field::null, "null", false};

// Every step, with the fields it reads.
const StepSpec kSteps[] = {
    {"DriverProc",
     StepKind::DriverProc,
     {{Field::message, "message", true},
      {Field::driverId, "driverId", false},
      {Field::driverHandle, "driverHandle", false},
      {Field::param1, "param1", false},
      {Field::param2, "param2", false}}},
    {"vpmDriverProc",
     StepKind::vpmDriverProc,
     {{Field::interfaceId, "interface", false}, {Field::version, "version", false}, nullArg}},
    {"closeDriver", StepKind::closeDriver, {nullArg}},
    {"queryDriver", StepKind::queryDriver, {{Field::tableSize, "tableSize", false}, nullArg}},
    {"negotiate",
     StepKind::negotiate,
     {{Field::flags, "flags", true}, {Field::descriptor, "descriptor", true}, nullArg}},
    {"openOverlay", StepKind::openOverlay, {{Field::descriptor, "descriptor", true}, nullArg}},
    {"getAttributes", StepKind::getAttributes, {{Field::size, "size", false}, nullArg}},
    {"setAttributes",
     StepKind::setAttributes,
     {{Field::size, "size", false}, {Field::mask, "mask", false}, {Field::values, "values", false}, nullArg}},
    {"close", StepKind::close, {nullArg}},
    {"show", StepKind::show, {nullArg}},
    {"hide", StepKind::hide, {nullArg}},
    {"showSurface", StepKind::showSurface, {nullArg}},
    {"hideSurface", StepKind::hideSurface, {nullArg}},
    {"getDescriptor", StepKind::getDescriptor, {nullArg}},
    {"configure", StepKind::configure, {{Field::descriptor, "descriptor", true}, nullArg}},
    {"reservedOp1", StepKind::reservedOp1, {{Field::a, "a", false}, {Field::b, "b", false}, nullArg}},
    {"setWindow", StepKind::setWindow, {{Field::window, "window", true}, nullArg}},
    {"lock", StepKind::lock, {{Field::flags, "flags", true}}},
    {"unlock", StepKind::unlock, {}},
    {"readRect",
     StepKind::readRect,
     {{Field::surfaceRect, "surfaceRect", true},
      {Field::hostRect, "hostRect", true},
      {Field::pitch, "pitch", true},
      nullArg}},
    {"writeRect",
     StepKind::writeRect,
     {{Field::surfaceRect, "surfaceRect", true},
      {Field::hostRect, "hostRect", true},
      {Field::pitch, "pitch", true},
      {Field::pattern, "pattern", true},
      nullArg}},
    {"reservedOp2", StepKind::reservedOp2, {{Field::a, "a", false}}},
    {"loseSurfaces", StepKind::loseSurfaces, {}},
    {"modeChange",
     StepKind::modeChange,
     {{Field::bitsPerPixel, "bitsPerPixel", true}, {Field::width, "width", false}, {Field::height, "height", false}}},
    {"shrinkVideoMemory", StepKind::shrinkVideoMemory, {{Field::bytes, "bytes", true}}},
    {"failNextGlobalAlloc", StepKind::failNextGlobalAlloc, {}},
    {"captureFrame", StepKind::captureFrame, {}},
};

// Which pointer arguments each kind of step can pass as null.
bool nullAllowed(StepKind kind, const std::string& argument) {
  auto is = [&](std::initializer_list<const char*> names) {
    for (const char* n : names)
      if (argument == n) return true;
    return false;
  };
  switch (kind) {
    case StepKind::vpmDriverProc:
      return is({"slot"});
    case StepKind::closeDriver:
    case StepKind::queryDriver:
      return is({"table"});
    case StepKind::negotiate:
      return is({"table", "descriptor", "answer"});
    case StepKind::openOverlay:
      return is({"table", "descriptor", "slot"});
    case StepKind::getAttributes:
    case StepKind::setAttributes:
      return is({"table", "request"});
    case StepKind::getDescriptor:
    case StepKind::configure:
      return is({"object", "descriptor"});
    case StepKind::setWindow:
      return is({"object", "window"});
    case StepKind::readRect:
    case StepKind::writeRect:
      return is({"buffer"});
    default:
      return is({"object"});
  }
}

// Reads the fields of one JSON object, naming the place in its messages.
class Reader {
 public:
  Reader(std::string where, std::string& error) : where_(std::move(where)), error_(error) {}

  bool fail(const std::string& field, const std::string& problem) {
    error_ = where_ + ": field \"" + field + "\": " + problem;
    return false;
  }

  // A 32-bit value: an integer from -2^31 to 2^32-1, or a text holding one.
  bool u32(const json& value, const std::string& field, std::uint32_t& out) {
    long long v = 0;
    if (value.is_number_integer()) {
      if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > 0xFFFFFFFFull) return fail(field, "out of range for a 32-bit value");
        v = static_cast<long long>(u);
      } else {
        v = value.get<std::int64_t>();
      }
    } else if (value.is_string()) {
      const std::string& text = value.get_ref<const std::string&>();
      char* end = nullptr;
      errno = 0;
      v = std::strtoll(text.c_str(), &end, 0);
      if (text.empty() || end == nullptr || *end != '\0' || errno != 0)
        return fail(field, "expected an integer, got the text \"" + text + "\"");
    } else {
      return fail(field, std::string("expected an integer, got ") + value.type_name());
    }
    if (v < -2147483648LL || v > 0xFFFFFFFFLL) return fail(field, "out of range for a 32-bit value");
    out = static_cast<std::uint32_t>(v);
    return true;
  }

  bool i32(const json& value, const std::string& field, std::int32_t& out) {
    std::uint32_t u = 0;
    if (!u32(value, field, u)) return false;
    out = static_cast<std::int32_t>(u);
    return true;
  }

  bool small(const json& value, const std::string& field, int low, int high, int& out) {
    std::uint32_t u = 0;
    if (!u32(value, field, u)) return false;
    const auto s = static_cast<std::int32_t>(u);
    if (s < low || s > high)
      return fail(field, "expected a value from " + std::to_string(low) + " to " + std::to_string(high));
    out = s;
    return true;
  }

  // A screen depth the simulated display offers.
  bool depth(const json& value, const std::string& field, int& out) {
    int bits = 0;
    if (!small(value, field, 0, 64, bits)) return false;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return fail(field, "expected 8, 16, 24 or 32");
    out = bits;
    return true;
  }

  bool boolean(const json& value, const std::string& field, bool& out) {
    if (!value.is_boolean()) return fail(field, std::string("expected true or false, got ") + value.type_name());
    out = value.get<bool>();
    return true;
  }

  bool rect(const json& value, const std::string& field, RectFields& out) {
    if (!value.is_array() || value.size() != 4)
      return fail(field, "expected an array of 4 integers (left, top, right, bottom)");
    for (std::size_t i = 0; i < 4; ++i)
      if (!i32(value[i], field + "[" + std::to_string(i) + "]", out[i])) return false;
    return true;
  }

  bool colour(const json& value, const std::string& field, PictureColour& out) {
    if (value.is_string() && value.get_ref<const std::string&>() == "key") {
      out.kind = PictureColour::Kind::key;
      return true;
    }
    if (value.is_string()) {
      const std::string& text = value.get_ref<const std::string&>();
      if (text.size() == 7 && text[0] == '#' &&
          std::all_of(text.begin() + 1, text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        char* end = nullptr;
        const unsigned long v = std::strtoul(text.c_str() + 1, &end, 16);
        if (end != nullptr && *end == '\0') {
          out.kind = PictureColour::Kind::rgb;
          out.rgb = {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                     static_cast<std::uint8_t>(v)};
          return true;
        }
      }
    }
    if (value.is_object()) {
      if (!onlyKnown(value, field, {"index"})) return false;
      auto it = value.find("index");
      if (it == value.end()) return fail(field + ".index", "is missing");
      int index = 0;
      if (!small(*it, field + ".index", 0, 255, index)) return false;
      out.kind = PictureColour::Kind::index;
      out.index = static_cast<std::uint32_t>(index);
      return true;
    }
    return fail(field, "expected \"#rrggbb\", \"key\" or {\"index\": n}");
  }

  bool onlyKnown(const json& object, const std::string& prefix, std::initializer_list<const char*> known) {
    for (auto it = object.begin(); it != object.end(); ++it) {
      bool found = false;
      for (const char* k : known) found = found || it.key() == k;
      if (!found) return fail(prefix.empty() ? it.key() : prefix + "." + it.key(), "is not a field here");
    }
    return true;
  }

  bool object(const json& value, const std::string& field) {
    if (!value.is_object()) return fail(field, std::string("expected an object, got ") + value.type_name());
    return true;
  }

  bool window(const json& value, const std::string& field, WindowFields& w) {
    if (!object(value, field)) return false;
    if (!onlyKnown(value, field,
                   {"frameWidth", "frameHeight", "captureRect", "surfaceWidth", "surfaceHeight", "imageRect",
                    "displayRect", "destRect"}))
      return false;
    for (auto it = value.begin(); it != value.end(); ++it) {
      const std::string& k = it.key();
      const std::string name = field + "." + k;
      bool ok = true;
      if (k == "frameWidth")
        ok = i32(*it, name, w.frameWidth);
      else if (k == "frameHeight")
        ok = i32(*it, name, w.frameHeight);
      else if (k == "surfaceWidth")
        ok = i32(*it, name, w.surfaceWidth);
      else if (k == "surfaceHeight")
        ok = i32(*it, name, w.surfaceHeight);
      else if (k == "captureRect")
        ok = rect(*it, name, w.captureRect);
      else if (k == "imageRect")
        ok = rect(*it, name, w.imageRect);
      else if (k == "displayRect")
        ok = rect(*it, name, w.displayRect);
      else if (k == "destRect")
        ok = rect(*it, name, w.destRect);
      if (!ok) return false;
    }
    return true;
  }

  bool descriptor(const json& value, const std::string& field, DescriptorFields& d) {
    if (!object(value, field)) return false;
    if (!onlyKnown(value, field,
                   {"ownerWindow", "noticeCallback", "revision", "formats", "format", "capFlags", "generationMask",
                    "keyColor", "register0BSetting", "window"}))
      return false;
    for (auto it = value.begin(); it != value.end(); ++it) {
      const std::string& k = it.key();
      const std::string name = field + "." + k;
      bool ok = true;
      if (k == "ownerWindow")
        ok = u32(*it, name, d.ownerWindow);
      else if (k == "noticeCallback")
        ok = boolean(*it, name, d.noticeCallback);
      else if (k == "revision")
        ok = u32(*it, name, d.revision);
      else if (k == "formats")
        ok = u32(*it, name, d.formats);
      else if (k == "format")
        ok = u32(*it, name, d.format);
      else if (k == "capFlags")
        ok = u32(*it, name, d.capFlags);
      else if (k == "generationMask")
        ok = u32(*it, name, d.generationMask);
      else if (k == "keyColor")
        ok = u32(*it, name, d.keyColor);
      else if (k == "register0BSetting") {
        int v = 0;
        ok = small(*it, name, 0, 255, v);
        d.register0BSetting = static_cast<std::uint32_t>(v);
      } else if (k == "window")
        ok = window(*it, name, d.window);
      if (!ok) return false;
    }
    return true;
  }

 private:
  std::string where_;
  std::string& error_;
};

bool readStepField(Reader& r, Field field, const json& v, const std::string& name, Step& step) {
  int n = 0;
  switch (field) {
    case Field::message:
      return r.u32(v, name, step.message);
    case Field::driverId:
      return r.u32(v, name, step.driverId);
    case Field::driverHandle:
      return r.u32(v, name, step.driverHandle);
    case Field::param1:
      return r.u32(v, name, step.param1);
    case Field::param2:
      return r.u32(v, name, step.param2);
    case Field::interfaceId:
      return r.u32(v, name, step.interfaceId);
    case Field::version:
      return r.u32(v, name, step.version);
    case Field::flags:
      return r.u32(v, name, step.flags);
    case Field::tableSize: {
      std::uint32_t size = 0;
      if (!r.u32(v, name, size)) return false;
      step.tableSize = size;
      return true;
    }
    case Field::size:
      return r.u32(v, name, step.size);
    case Field::mask:
      return r.u32(v, name, step.mask);
    case Field::values:
      if (!v.is_array() || v.size() != 5) return r.fail(name, "expected an array of 5 byte values");
      for (std::size_t i = 0; i < 5; ++i) {
        if (!r.small(v[i], name + "[" + std::to_string(i) + "]", 0, 255, n)) return false;
        step.values[i] = static_cast<std::uint8_t>(n);
      }
      return true;
    case Field::descriptor:
      return r.descriptor(v, name, step.descriptor);
    case Field::window:
      return r.window(v, name, step.window);
    case Field::surfaceRect:
      return r.rect(v, name, step.surfaceRect);
    case Field::hostRect:
      return r.rect(v, name, step.hostRect);
    case Field::pitch:
      if (!r.small(v, name, 0, 1 << 16, n)) return false;
      step.pitch = static_cast<std::uint32_t>(n);
      return true;
    case Field::pattern:
      if (!r.small(v, name, 0, 0xFFFF, n)) return false;
      step.pattern = static_cast<std::uint16_t>(n);
      return true;
    case Field::a:
      return r.u32(v, name, step.a);
    case Field::b:
      return r.u32(v, name, step.b);
    case Field::bitsPerPixel:
      return r.depth(v, name, step.bitsPerPixel);
    case Field::width:
      return r.small(v, name, 1, 4096, step.width);
    case Field::height:
      return r.small(v, name, 1, 4096, step.height);
    case Field::bytes:
      return r.u32(v, name, step.bytes);
    case Field::null:
      if (!v.is_string()) return r.fail(name, std::string("expected the name of an argument, got ") + v.type_name());
      step.nullArgument = v.get<std::string>();
      if (!nullAllowed(step.kind, step.nullArgument))
        return r.fail(name, "\"" + step.nullArgument + "\" is not a pointer argument of this step");
      return true;
  }
  return false;
}

bool parseStep(const json& value, int number, Step& step, std::string& error) {
  step.number = number;
  const std::string place = "step " + std::to_string(number);
  if (!value.is_object()) {
    error = place + ": expected an object, got " + std::string(value.type_name());
    return false;
  }
  auto nameIt = value.find("step");
  if (nameIt == value.end() || !nameIt->is_string()) {
    error = place + ": field \"step\": expected the name of the step";
    return false;
  }
  step.name = nameIt->get<std::string>();
  const StepSpec* spec = nullptr;
  for (const StepSpec& s : kSteps)
    if (step.name == s.name) spec = &s;
  if (spec == nullptr) {
    error = place + ": unknown step \"" + step.name + "\"";
    return false;
  }
  step.kind = spec->kind;
  Reader r(place + " (" + step.name + ")", error);
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (it.key() == "step") continue;
    const FieldUse* use = nullptr;
    for (const FieldUse& f : spec->fields)
      if (f.name != nullptr && it.key() == f.name) use = &f;
    if (use == nullptr) return r.fail(it.key(), "is not a field of this step");
    if (!readStepField(r, use->field, *it, it.key(), step)) return false;
  }
  for (const FieldUse& f : spec->fields)
    if (f.name != nullptr && f.required && value.find(f.name) == value.end()) return r.fail(f.name, "is missing");
  return true;
}

bool parseMachine(const json& value, MachineSpec& m, std::string& error) {
  Reader r("machine", error);
  if (!value.is_object()) {
    error = std::string("machine: expected an object, got ") + value.type_name();
    return false;
  }
  if (!r.onlyKnown(value, "",
                   {"width", "height", "bitsPerPixel", "generation", "videoMemory", "rgb", "palette", "picture"}))
    return false;
  int n = 0;
  for (auto it = value.begin(); it != value.end(); ++it) {
    const std::string& k = it.key();
    bool ok = true;
    if (k == "width")
      ok = r.small(*it, k, 1, 4095, m.width);
    else if (k == "height")
      ok = r.small(*it, k, 1, 4095, m.height);
    else if (k == "bitsPerPixel")
      ok = r.depth(*it, k, m.bitsPerPixel);
    else if (k == "generation")
      ok = r.small(*it, k, 0, 31, m.generation);
    else if (k == "videoMemory") {
      ok = r.small(*it, k, 1, 64 << 20, n);
      m.videoMemory = static_cast<std::uint32_t>(n);
    } else if (k == "rgb")
      ok = r.boolean(*it, k, m.rgb);
    else if (k == "palette") {
      if (!it->is_array() || it->size() > 256) return r.fail(k, "expected an array of up to 256 colours \"#rrggbb\"");
      for (std::size_t i = 0; i < it->size(); ++i) {
        PictureColour c;
        const std::string name = k + "[" + std::to_string(i) + "]";
        if (!r.colour((*it)[i], name, c)) return false;
        if (c.kind != PictureColour::Kind::rgb) return r.fail(name, "expected \"#rrggbb\"");
        m.palette.push_back(c.rgb);
      }
    } else if (k == "picture") {
      if (!r.object(*it, k) || !r.onlyKnown(*it, k, {"fill", "rects"})) return false;
      if (auto f = it->find("fill"); f != it->end() && !r.colour(*f, "picture.fill", m.fill)) return false;
      if (auto rs = it->find("rects"); rs != it->end()) {
        if (!rs->is_array()) return r.fail("picture.rects", "expected an array");
        for (std::size_t i = 0; i < rs->size(); ++i) {
          const json& item = (*rs)[i];
          const std::string name = "picture.rects[" + std::to_string(i) + "]";
          if (!r.object(item, name) || !r.onlyKnown(item, name, {"rect", "color"})) return false;
          PictureRect pr;
          auto rect = item.find("rect");
          auto colour = item.find("color");
          if (rect == item.end()) return r.fail(name + ".rect", "is missing");
          if (colour == item.end()) return r.fail(name + ".color", "is missing");
          if (!r.rect(*rect, name + ".rect", pr.rect) || !r.colour(*colour, name + ".color", pr.colour)) return false;
          m.rects.push_back(pr);
        }
      }
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string_view stepName(StepKind kind) {
  for (const StepSpec& s : kSteps)
    if (s.kind == kind) return s.name;
  return "?";
}

bool parseScript(std::string_view text, Script& script, std::string& error) {
  const json root = json::parse(text.begin(), text.end(), nullptr, false);
  if (root.is_discarded()) {
    error = "not a JSON text";
    return false;
  }
  if (!root.is_object()) {
    error = "expected an object with \"machine\" and \"steps\"";
    return false;
  }
  Reader r("script", error);
  if (!r.onlyKnown(root, "", {"machine", "frame", "steps"})) return false;
  auto machine = root.find("machine");
  if (machine == root.end()) return r.fail("machine", "is missing");
  if (!parseMachine(*machine, script.machine, error)) return false;
  if (auto frame = root.find("frame"); frame != root.end()) {
    Reader fr("frame", error);
    if (!fr.object(*frame, "frame") || !fr.onlyKnown(*frame, "", {"number"})) return false;
    if (auto n = frame->find("number"); n != frame->end() && !fr.u32(*n, "number", script.frame.number)) return false;
  }
  auto steps = root.find("steps");
  if (steps == root.end()) return r.fail("steps", "is missing");
  if (!steps->is_array()) return r.fail("steps", std::string("expected an array, got ") + steps->type_name());
  for (std::size_t i = 0; i < steps->size(); ++i) {
    Step step;
    if (!parseStep((*steps)[i], static_cast<int>(i) + 1, step, error)) return false;
    script.steps.push_back(std::move(step));
  }
  return true;
}

}  // namespace ovlhost
