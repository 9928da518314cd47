#include "overlay/driver_table.h"

#include <cstdio>
#include <cstring>

#include "overlay/chip_regs.h"
#include "overlay/driver_platform.h"
#include "overlay/driver_state.h"

namespace ovlport {

DriverPlatform driverPlatform{};

namespace {

// The attribute block that belongs to a table lies right behind it.
VpmAttributeBlock* attributeBlockOf(VpmDriverTable* table) {
  return reinterpret_cast<VpmAttributeBlock*>(reinterpret_cast<BYTE*>(table) + sizeof(VpmDriverTable));
}

constexpr char untrappedFormat[] = "Untrapped message: %x";
// The longest trace, eight hexadecimal digits and the terminating zero, fits.
static_assert(sizeof(untrappedFormat) - 3 + 8 <= messageBufferSize);

}  // namespace

void formatUntrappedMessage(UINT message) {
#ifdef _WIN32
  wsprintfA(driverState.messageBuffer, untrappedFormat, message);
#else
  std::snprintf(driverState.messageBuffer, sizeof driverState.messageBuffer, untrappedFormat, message);
#endif
}

void processAttach() { driverState.overlaySupported = queryScreen(); }

namespace testing {

void reloadDriver() {
  driverState = DriverState{};
  processAttach();
}

}  // namespace testing

LONG WINAPI closeDriver(VpmDriverTable* table) {
  if (table == nullptr) return errNullArgument;
  return resultOk;
}

LONG WINAPI queryDriver(VpmDriverTable* table) {
  if (table == nullptr || table->size != sizeof(VpmDriverTable)) return 0;
  return driverState.overlaySupported != 0 && driverState.controllerGeneration >= 3 ? 2 : 1;
}

LONG WINAPI getAttributes(VpmDriverTable* table, VpmAttributeBlock* request) {
  if (table == nullptr || request == nullptr) return errNullArgument;
  if (request->size != sizeof(VpmAttributeBlock)) return errInvalidState;
  std::memcpy(request, attributeBlockOf(table), sizeof(VpmAttributeBlock));
  return resultOk;
}

LONG WINAPI setAttributes(VpmDriverTable* table, VpmAttributeBlock* request) {
  if (table == nullptr || request == nullptr) return errNullArgument;
  VpmAttributeBlock* block = attributeBlockOf(table);
  for (int n = 0; n < attributeCount; ++n) {
    const DWORD bit = 1u << n;
    if ((request->mask & bit) == 0) continue;
    // Attributes stored before a refusal stay stored.
    if ((block->mask & bit) == 0) return errAttribute;
    block->attributes[n] = request->attributes[n];
  }
  return resultOk;
}

}  // namespace ovlport

using namespace ovlport;

extern "C" LRESULT WINAPI DriverProc(DWORD_PTR, HANDLE, UINT message, LPARAM, LPARAM) {
  switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_OPEN:
    case DRV_CLOSE:
    case DRV_DISABLE:
    case DRV_FREE:
    case DRV_INSTALL:
    case DRV_POWER:
      return 1;
    case DRV_CONFIGURE:
    case DRV_QUERYCONFIGURE:
    case DRV_REMOVE:
    case DRV_EXITSESSION:
      return 0;
    default:
      formatUntrappedMessage(message);
      return 0;
  }
}

extern "C" LONG WINAPI vpmDriverProc(DWORD interfaceId, DWORD version, VpmDriverTable** slot) {
  if (interfaceId != vpmInterfaceId) return errInterface;
  if (version != vpmInterfaceVersion) return errVersion;
  if (slot == nullptr) return errNullArgument;
  if (driverState.overlaySupported != 1) return errUnavailable;
  VpmDriverTable& table = driverState.driverTable;
  table.size = sizeof(VpmDriverTable);
  table.closeDriver = closeDriver;
  table.queryDriver = queryDriver;
  table.negotiate = negotiate;
  table.openOverlay = openOverlay;
  table.getAttributes = getAttributes;
  table.setAttributes = setAttributes;
  *slot = &table;
  return resultOk;
}
