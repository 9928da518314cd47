#include "sim/display_sim.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr WORD sequencerIndexPort = 0x3C4;
constexpr WORD sequencerDataPort = 0x3C5;
constexpr WORD graphicsIndexPort = 0x3CE;
constexpr WORD graphicsDataPort = 0x3CF;
constexpr WORD crtcIndexPort = 0x3D4;
constexpr WORD crtcDataPort = 0x3D5;

// CRT controller register 0x1A reports the controller generation and ignores
// writes.
constexpr BYTE crtcGenerationReg = 0x1A;

bool profileValue(const toml::table& section, const char* key, int low, int high, int& value, std::string& error) {
  const toml::node* node = section.get(key);
  if (node == nullptr) return true;
  long long number = 0;
  if (!profileInteger(node, number) || number < low || number > high) {
    error = std::string("[display] ") + key + " must be a number from " + std::to_string(low) + " to " +
            std::to_string(high);
    return false;
  }
  value = static_cast<int>(number);
  return true;
}

}  // namespace

bool loadDisplayProfile(const Machine& machine, DisplayProfile& display, std::string& error) {
  const toml::table* section = machine.profile["display"].as_table();
  if (section == nullptr) return true;
  return profileValue(*section, "generation", 0, 255, display.generation, error) &&
         profileValue(*section, "bits_per_pixel", 0, 64, display.bitsPerPixel, error) &&
         profileValue(*section, "width", 0, 65535, display.width, error) &&
         profileValue(*section, "height", 0, 65535, display.height, error);
}

DisplayController::DisplayController(const DisplayProfile& profile) {
  crtc_[crtcGenerationReg] = static_cast<BYTE>(profile.generation);
}

std::array<BYTE, 256>& DisplayController::registers(RegisterSpace space) {
  switch (space) {
    case RegisterSpace::sequencer:
      return sequencer_;
    case RegisterSpace::graphics:
      return graphics_;
    case RegisterSpace::crtc:
      break;
  }
  return crtc_;
}

void DisplayController::access(RegisterSpace space, BYTE index, BYTE value, bool write) {
  registers_.push_back({space, index, value, write});
  if (space == RegisterSpace::sequencer && index >= 0x08 && index <= 0x1F) {
    const bool open = (graphics_[0x09] & 0x26) == 0x26 && (graphics_[0x0A] & 0x20) == 0x20;
    if (!open) {
      char text[96];
      std::snprintf(text, sizeof text, "%s of sequencer 0x%02X outside the bracket (graphics 0x09=0x%02X 0x0A=0x%02X)",
                    write ? "write" : "read", index, graphics_[0x09], graphics_[0x0A]);
      violations_.emplace_back(text);
    }
  }
  if (write && !(space == RegisterSpace::crtc && index == crtcGenerationReg)) registers(space)[index] = value;
}

BYTE DisplayController::inp(WORD port) {
  BYTE value = 0xFF;  // nothing answers on other ports
  switch (port) {
    case sequencerIndexPort:
      value = sequencerIndex_;
      break;
    case graphicsIndexPort:
      value = graphicsIndex_;
      break;
    case crtcIndexPort:
      value = crtcIndex_;
      break;
    case sequencerDataPort:
      value = sequencer_[sequencerIndex_];
      access(RegisterSpace::sequencer, sequencerIndex_, value, false);
      break;
    case graphicsDataPort:
      value = graphics_[graphicsIndex_];
      access(RegisterSpace::graphics, graphicsIndex_, value, false);
      break;
    case crtcDataPort:
      value = crtc_[crtcIndex_];
      access(RegisterSpace::crtc, crtcIndex_, value, false);
      break;
    default:
      break;
  }
  ports_.push_back({PortAccess::Kind::in8, port, value});
  return value;
}

void DisplayController::outp(WORD port, BYTE value) {
  ports_.push_back({PortAccess::Kind::out8, port, value});
  switch (port) {
    case sequencerIndexPort:
      sequencerIndex_ = value;
      break;
    case graphicsIndexPort:
      graphicsIndex_ = value;
      break;
    case crtcIndexPort:
      crtcIndex_ = value;
      break;
    case sequencerDataPort:
      access(RegisterSpace::sequencer, sequencerIndex_, value, true);
      break;
    case graphicsDataPort:
      access(RegisterSpace::graphics, graphicsIndex_, value, true);
      break;
    case crtcDataPort:
      access(RegisterSpace::crtc, crtcIndex_, value, true);
      break;
    default:
      break;
  }
}

void DisplayController::outpw(WORD port, WORD value) {
  ports_.push_back({PortAccess::Kind::out16, port, value});
  const BYTE low = static_cast<BYTE>(value & 0xFF);
  const BYTE high = static_cast<BYTE>(value >> 8);
  // A 16-bit write to an index port: the low byte selects the register, the
  // high byte reaches the data port next to it.
  switch (port) {
    case sequencerIndexPort:
      sequencerIndex_ = low;
      access(RegisterSpace::sequencer, low, high, true);
      break;
    case graphicsIndexPort:
      graphicsIndex_ = low;
      access(RegisterSpace::graphics, low, high, true);
      break;
    case crtcIndexPort:
      crtcIndex_ = low;
      access(RegisterSpace::crtc, low, high, true);
      break;
    default:
      break;
  }
}

std::vector<RegisterAccess> DisplayController::writes(RegisterSpace space) const {
  std::vector<RegisterAccess> result;
  for (const RegisterAccess& a : registers_)
    if (a.write && a.space == space) result.push_back(a);
  return result;
}

void DisplayController::clearLog() {
  ports_.clear();
  registers_.clear();
  violations_.clear();
}

SimScreen::SimScreen(const DisplayProfile& profile)
    : bitsPerPixel(profile.bitsPerPixel), width(profile.width), height(profile.height) {
  for (unsigned i = 0; i < palette.size(); ++i)
    palette[i] = {static_cast<BYTE>(i & 0xE0), static_cast<BYTE>((i << 3) & 0xE0), static_cast<BYTE>((i << 6) & 0xC0), 0};
}

HDC SimScreen::GetDC(HWND window) {
  calls.emplace_back(window == nullptr ? "GetDC" : "GetDC(window)");
  ++openDCs_;
  // The screen's one device context.
  return reinterpret_cast<HDC>(static_cast<std::uintptr_t>(0x5C0));
}

int SimScreen::ReleaseDC(HWND window, HDC dc) {
  calls.emplace_back(window == nullptr ? "ReleaseDC" : "ReleaseDC(window)");
  if (dc == nullptr || openDCs_ == 0) return 0;
  --openDCs_;
  return 1;
}

int SimScreen::GetDeviceCaps(HDC dc, int index) {
  calls.push_back("GetDeviceCaps(" + std::to_string(index) + ")");
  if (dc == nullptr) return 0;
  switch (index) {
    case HORZRES:
      return width;
    case VERTRES:
      return height;
    case BITSPIXEL:
      return bitsPerPixel;
    case SIZEPALETTE:
      return bitsPerPixel == 8 ? static_cast<int>(palette.size()) : 0;
    default:
      return 0;
  }
}

UINT SimScreen::GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) {
  calls.push_back("GetSystemPaletteEntries(" + std::to_string(start) + ", " + std::to_string(count) + ")");
  if (dc == nullptr || bitsPerPixel != 8 || entries == nullptr || start >= palette.size()) return 0;
  const UINT n = std::min<UINT>(count, static_cast<UINT>(palette.size()) - start);
  for (UINT i = 0; i < n; ++i) entries[i] = palette[start + i];
  return n;
}

COLORREF SimScreen::GetNearestColor(HDC dc, COLORREF color) {
  calls.emplace_back("GetNearestColor");
  if (dc == nullptr) return 0xFFFFFFFF;  // CLR_INVALID
  const int red = static_cast<int>(color & 0xFF);
  const int green = static_cast<int>((color >> 8) & 0xFF);
  const int blue = static_cast<int>((color >> 16) & 0xFF);
  if (bitsPerPixel != 8) return color & 0xFFFFFF;
  const PALETTEENTRY* best = &palette[0];
  int bestDistance = -1;
  for (const auto& entry : palette) {
    const int dr = entry.peRed - red, dg = entry.peGreen - green, db = entry.peBlue - blue;
    const int distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      bestDistance = distance;
      best = &entry;
    }
  }
  return static_cast<COLORREF>(best->peRed) | static_cast<COLORREF>(best->peGreen) << 8 |
         static_cast<COLORREF>(best->peBlue) << 16;
}

}  // namespace sim
