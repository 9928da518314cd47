// The library's exports and the operations of its driver table.
#pragma once

#include "overlay/host_records.h"

// Installable-driver entry: only the message is read.
extern "C" LRESULT WINAPI DriverProc(DWORD_PTR driverId, HANDLE driver, UINT message, LPARAM param1, LPARAM param2);
// Hands the driver table to a VPM host that asks for interface 0x4001,
// version 0x10100.
extern "C" LONG WINAPI vpmDriverProc(DWORD interfaceId, DWORD version, ovlport::VpmDriverTable** slot);

namespace ovlport {

// Installable-driver messages that DriverProc answers.
constexpr UINT DRV_LOAD = 1;
constexpr UINT DRV_ENABLE = 2;
constexpr UINT DRV_OPEN = 3;
constexpr UINT DRV_CLOSE = 4;
constexpr UINT DRV_DISABLE = 5;
constexpr UINT DRV_FREE = 6;
constexpr UINT DRV_CONFIGURE = 7;
constexpr UINT DRV_QUERYCONFIGURE = 8;
constexpr UINT DRV_INSTALL = 9;
constexpr UINT DRV_REMOVE = 10;
constexpr UINT DRV_EXITSESSION = 11;
constexpr UINT DRV_POWER = 15;

LONG WINAPI closeDriver(VpmDriverTable* table);
LONG WINAPI queryDriver(VpmDriverTable* table);
LONG WINAPI negotiate(VpmDriverTable* table, DWORD requestFlags, OverlayDescriptor* host, OverlayDescriptor* answer);
LONG WINAPI openOverlay(VpmDriverTable* table, OverlayDescriptor* descriptor, OverlayObject** slot);
LONG WINAPI getAttributes(VpmDriverTable* table, VpmAttributeBlock* request);
LONG WINAPI setAttributes(VpmDriverTable* table, VpmAttributeBlock* request);

}  // namespace ovlport
