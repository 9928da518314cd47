// The simulated display controller and screen of the notebook.
//
// The controller is a device model: its VGA-compatible index/data port pairs
// (sequencer 0x3C4/0x3C5, graphics controller 0x3CE/0x3CF, CRT controller
// 0x3D4/0x3D5) over three register files, with the semantics of the real
// pairs (a 16-bit write to an index port writes the index and then the data).
// Every port access is recorded in order, together with the register access
// it made.  The overlay registers (sequencer 0x08 to 0x1F) may only be reached
// while graphics controller 0x09 holds bits 0x26 and 0x0A holds bit 0x20; an
// access outside that bracket is recorded as a violation.
//
// The screen answers the device-context and device-capability queries with
// the mode set in the machine profile; a test may change it between calls.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "platform/screen.h"
#include "sim/machine.h"

namespace sim {

// The [display] section of a machine profile.
struct DisplayProfile {
  int generation = 3;  // what CRT controller register 0x1A reports (low five bits)
  int bitsPerPixel = 16;
  int width = 640;
  int height = 480;
};

// Reads the [display] section; missing keys keep their defaults.
bool loadDisplayProfile(const Machine& machine, DisplayProfile& display, std::string& error);

enum class RegisterSpace { sequencer, graphics, crtc };

struct PortAccess {
  enum class Kind { in8, out8, out16 };
  Kind kind;
  WORD port;
  WORD value;  // the byte read or written, or the 16-bit word written
  bool operator==(const PortAccess&) const = default;
};

struct RegisterAccess {
  RegisterSpace space;
  BYTE index;
  BYTE value;
  bool write;
  bool operator==(const RegisterAccess&) const = default;
};

class DisplayController : public platform::Ports {
 public:
  explicit DisplayController(const DisplayProfile& profile = {});

  BYTE inp(WORD port) override;
  void outp(WORD port, BYTE value) override;
  void outpw(WORD port, WORD value) override;

  // The register files, for a test to set up and inspect.
  std::array<BYTE, 256>& registers(RegisterSpace space);
  BYTE& sequencer(BYTE index) { return sequencer_[index]; }
  BYTE& graphics(BYTE index) { return graphics_[index]; }
  BYTE& crtc(BYTE index) { return crtc_[index]; }

  // Every port access, and the register accesses they made, in order.
  const std::vector<PortAccess>& portAccesses() const { return ports_; }
  const std::vector<RegisterAccess>& registerAccesses() const { return registers_; }
  // Register writes of one space, in order.
  std::vector<RegisterAccess> writes(RegisterSpace space) const;
  // Overlay register accesses made outside the unlock bracket, described.
  const std::vector<std::string>& violations() const { return violations_; }
  void clearLog();

 private:
  void access(RegisterSpace space, BYTE index, BYTE value, bool write);

  std::array<BYTE, 256> sequencer_{};
  std::array<BYTE, 256> graphics_{};
  std::array<BYTE, 256> crtc_{};
  BYTE sequencerIndex_ = 0;
  BYTE graphicsIndex_ = 0;
  BYTE crtcIndex_ = 0;
  std::vector<PortAccess> ports_;
  std::vector<RegisterAccess> registers_;
  std::vector<std::string> violations_;
};

class SimScreen : public platform::Screen {
 public:
  explicit SimScreen(const DisplayProfile& profile = {});

  HDC GetDC(HWND window) override;
  int ReleaseDC(HWND window, HDC dc) override;
  int GetDeviceCaps(HDC dc, int index) override;
  // On an 8-bit screen: the system palette, and its entry nearest to a colour
  // (GDI's colour value: red in bits 0-7, blue in bits 16-23).  Other depths
  // have no palette, and every colour is its own nearest.
  UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* entries) override;
  COLORREF GetNearestColor(HDC dc, COLORREF color) override;

  // The screen mode; a test may change it between calls.
  int bitsPerPixel;
  int width;
  int height;
  // The system palette of the 8-bit mode; it starts as a 3-3-2 colour cube
  // (red in index bits 5-7, green in 2-4, blue in 0-1).
  std::array<PALETTEENTRY, 256> palette{};

  // Device contexts handed out and not yet released.
  int openDCs() const { return openDCs_; }
  // Calls made, one name each ("GetDC", "GetDeviceCaps(12)", "ReleaseDC").
  std::vector<std::string> calls;

 private:
  int openDCs_ = 0;
};

}  // namespace sim
