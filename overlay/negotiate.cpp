#include "overlay/negotiate.h"

#include <array>

#include "overlay/chip_regs.h"
#include "overlay/configure.h"
#include "overlay/driver_state.h"
#include "overlay/driver_table.h"

namespace ovlport {

namespace {

// Request flags of negotiate.
constexpr DWORD requestRevision = 0x1;
constexpr DWORD requestKeepFlags = 0x2;
constexpr DWORD requestFixedFormats = 0x4;
constexpr DWORD requestChosenFormat = 0x8;
constexpr DWORD requestCheckKey = 0x20;
constexpr DWORD requestCheckWindow = 0x40;

constexpr DWORD offeredCapFlags = 0x7F0F0F;
constexpr DWORD refusedCapFlags = 0xF0F0;
constexpr DWORD descriptorRevision = 8;

// The capability values at descriptor offsets +64 to +288; screenWidthValue
// and screenHeightValue stand for the screen's size, unwrittenValue for the
// fields left alone.
constexpr DWORD screenWidthValue = 0xFFFF0001;
constexpr DWORD screenHeightValue = 0xFFFF0002;
constexpr DWORD unwrittenValue = 0xFFFF0003;

struct CapabilityValue {
  DWORD generation3;
  DWORD other;
};

constexpr std::array<CapabilityValue, capabilityValueCount> capabilityTable = [] {
  std::array<CapabilityValue, capabilityValueCount> t{};
  auto at = [&](int offset, DWORD g3, DWORD other) { t[(offset - 64) / 4] = {g3, other}; };
  at(64, 2, 2);
  for (int offset = 68; offset <= 140; offset += 4) at(offset, 1, 1);
  for (int offset = 144; offset <= 152; offset += 4) at(offset, unwrittenValue, unwrittenValue);
  at(156, 1, 1);
  at(160, 8184, 8184);
  at(164, 1, 1);
  at(168, 8184, 8184);
  at(172, 1023, 2047);
  at(176, 1023, 2047);
  at(180, 0, 0);
  at(184, 0, 0);
  for (int base : {188, 228}) {
    at(base, 749, 749);
    at(base + 4, 599, 599);
    at(base + 8, 1, 1);
    at(base + 12, 750, 750);
    at(base + 16, 1, 1);
    at(base + 20, 600, 600);
  }
  at(212, 0x80000, 0x8000000);
  at(216, 0x10000, 0x10000);
  at(220, 0x80000, 0x8000000);
  at(224, 0x10000, 0x10000);
  at(252, 0x10000, 0x10000);
  at(256, 0x1000000, 0x1000000);
  at(260, 0x10000, 0x10000);
  at(264, 0x1000000, 0x1000000);
  at(268, 0xFFFFFFFF, 0xFFFFFFFF);
  at(272, 0xFFFFFFFF, 0xFFFFFFFF);
  at(276, 1, 1);
  at(280, screenWidthValue, screenWidthValue);
  at(284, 1, 1);
  at(288, screenHeightValue, screenHeightValue);
  return t;
}();

bool isOfferedFormat(DWORD format) { return format == formatRgb565 || format == formatYuy2; }

}  // namespace

void capabilityDefaults(OverlayCaps* caps) {
  const DriverState& s = driverState;
  const bool generation3 = s.controllerGeneration == 3;
  caps->generationMask = generation3 ? 0x830C3 : 0x83303;
  for (int i = 0; i < capabilityValueCount; ++i) {
    const DWORD value = generation3 ? capabilityTable[i].generation3 : capabilityTable[i].other;
    if (value == unwrittenValue) continue;
    caps->capabilityValues[i] = value == screenWidthValue    ? s.screenWidth
                                : value == screenHeightValue ? s.screenHeight
                                                             : value;
  }
}

LONG WINAPI negotiate(VpmDriverTable* table, DWORD requestFlags, OverlayDescriptor* host, OverlayDescriptor* answer) {
  DriverState& s = driverState;
  if (table == nullptr || host == nullptr || answer == nullptr) return errNullArgument;
  if (s.overlaySupported == 0 || s.controllerGeneration < 3) return errUnavailable;

  *answer = *host;
  OverlayCaps& a = answer->caps;
  const OverlayCaps& h = host->caps;
  if ((requestFlags & requestKeepFlags) != 0) {
    if ((h.capFlags & refusedCapFlags) != 0) return errCapabilityFlags;
  } else {
    a.capFlags = offeredCapFlags;
  }
  a.revision = descriptorRevision;
  if ((requestFlags & requestRevision) != 0 && h.revision != descriptorRevision) return errRevision;
  const DWORD f = a.capFlags;

  if ((requestFlags & requestCheckWindow) != 0) {
    const OverlayWindow& w = host->window;
    if ((f & capHostGeometry) != 0) {
      if (validateWindow(&w) != resultOk) return errGeometry;
      if (w.surfaceSize.width > maxSurfaceWidth || w.surfaceSize.height > maxSurfaceHeight) return errGeometry;
    }
    if (static_cast<WORD>(w.destRect.right) > s.screenWidth || static_cast<WORD>(w.destRect.bottom) > s.screenHeight)
      return errGeometry;
  }

  capabilityDefaults(&a);

  LONG result = resultOk;
  if ((requestFlags & requestFixedFormats) != 0) {
    if (!isOfferedFormat(h.formats)) result = errFormat;
  } else {
    a.formats = (requestFlags & requestChosenFormat) != 0 ? h.format : formatBoth;
  }

  if ((f & (capDriverGeometry | capHostGeometry)) == 0) {
    a.format = formatBoth;
  } else if ((requestFlags & requestChosenFormat) != 0) {
    const DWORD x = h.format;
    if (((requestFlags & requestFixedFormats) != 0 && a.formats != x) || !isOfferedFormat(x))
      result = errFormatMismatch;
    else
      a.formats = x;
    a.format = x;
  } else {
    a.format = a.formats;
  }

  if ((requestFlags & requestCheckKey) != 0) {
    queryScreen();
    const DWORD k = h.keyColor;
    switch (s.bytesPerPixel) {
      case 1:
        if (k > 255) return errKeyColor;
        break;
      case 2:
        if ((k >> 24) != 0x01 && k > 0xFFFF) return errKeyColor;
        break;
      case 3:
        if (k > 0x1FFFFFF) return errKeyColor;
        break;
      default:
        break;
    }
  } else if (s.bytesPerPixel >= 0 && s.bytesPerPixel <= 2) {
    a.keyColor = s.defaultKey != 0 ? 1 : 0;
  }
  return result;
}

}  // namespace ovlport
