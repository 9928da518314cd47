// The records that cross between the VPM host and the overlay driver: the
// driver table with its attribute block, the overlay descriptor with its
// capability block and window geometry, the overlay object, and the result
// codes of every driver operation.
//
// On the 32-bit Windows target every record has the host's byte layout,
// checked below.  On 64-bit builds the fields keep their order and function
// and memory addresses are pointer-sized; code uses sizeof, never a literal.
#pragma once

#include <cstddef>

#include "platform/win32_api.h"

namespace ovlport {

// Results of the driver table and overlay object operations: 0 for success,
// else one of these (always the full 32-bit value).
enum DriverResult : LONG {
  resultOk = 0,
  errInterface = -1,
  errVersion = -2,
  errUnavailable = -3,
  errNullArgument = -5,
  errInvalidState = -6,
  errAttribute = -7,
  errOverlayFailed = -8,
  errNoMemory = -9,
  errNoVideoMemory = -10,
  errRevision = -11,
  errCapabilityFlags = -12,
  errFormat = -13,
  errFormatMismatch = -14,
  errKeyColor = -16,
  errGeometry = -17,
  errLocked = -18,
  errWindowedRefused = -25,
  errNotImplemented = -255,
};

// The interface and version a host must ask vpmDriverProc for.
constexpr DWORD vpmInterfaceId = 0x4001;
constexpr DWORD vpmInterfaceVersion = 0x10100;

// Pixel formats of OverlayCaps.formats and .format.
constexpr DWORD formatRgb565 = 2;
constexpr DWORD formatYuy2 = 4;
constexpr DWORD formatBoth = 6;

// capFlags bits the driver reads.
constexpr DWORD capControlPattern = 0x1;
constexpr DWORD capDriverGeometry = 0x4;
constexpr DWORD capHostGeometry = 0x8;
constexpr DWORD capHostKeyColor = 0x100;
constexpr DWORD capPattern200 = 0x200;
constexpr DWORD capPattern400 = 0x400;
constexpr DWORD capRegister0B = 0x800;
constexpr DWORD capClearSurface = 0x10000;

// The notice that tells the host the overlay was switched off.
constexpr DWORD overlayLostNotice = 32762;

struct VpmDriverTable;
struct VpmAttributeBlock;
struct OverlayDescriptor;
struct OverlayWindow;
struct OverlayObject;
struct SurfaceAccess;

// Host function that receives notices: (notice, argument).
using NoticeCallback = void(WINAPI*)(DWORD notice, DWORD argument);

// Driver table operations; the first argument is the table.
using CloseDriverProc = LONG(WINAPI*)(VpmDriverTable* table);
using QueryDriverProc = LONG(WINAPI*)(VpmDriverTable* table);
using NegotiateProc = LONG(WINAPI*)(VpmDriverTable* table, DWORD requestFlags, OverlayDescriptor* host,
                                    OverlayDescriptor* answer);
using OpenOverlayProc = LONG(WINAPI*)(VpmDriverTable* table, OverlayDescriptor* descriptor, OverlayObject** slot);
using GetAttributesProc = LONG(WINAPI*)(VpmDriverTable* table, VpmAttributeBlock* request);
using SetAttributesProc = LONG(WINAPI*)(VpmDriverTable* table, VpmAttributeBlock* request);

// Overlay object operations; the first argument is the object.
using ObjectProc = LONG(WINAPI*)(OverlayObject* object);
using GetDescriptorProc = LONG(WINAPI*)(OverlayObject* object, OverlayDescriptor* out);
using ConfigureProc = LONG(WINAPI*)(OverlayObject* object, OverlayDescriptor* descriptor);
using ReservedOp1Proc = LONG(WINAPI*)(OverlayObject* object, DWORD a, DWORD b);
using SetWindowProc = LONG(WINAPI*)(OverlayObject* object, OverlayWindow* window);
using LockProc = LONG(WINAPI*)(OverlayObject* object, SurfaceAccess* access);
using ReadRectProc = LONG(WINAPI*)(OverlayObject* object, SurfaceAccess* access, RECT* surfaceRect, BYTE* buffer,
                                   LONG pitch, RECT* hostRect);
using WriteRectProc = LONG(WINAPI*)(OverlayObject* object, BYTE* buffer, LONG pitch, RECT* hostRect,
                                    SurfaceAccess* access, RECT* surfaceRect);
using ReservedOp2Proc = LONG(WINAPI*)(OverlayObject* object, DWORD a);

struct VpmDriverTable {
  DWORD size;  // sizeof(VpmDriverTable): 32 on the 32-bit target
  CloseDriverProc closeDriver;
  QueryDriverProc queryDriver;
  NegotiateProc negotiate;
  OpenOverlayProc openOverlay;
  GetAttributesProc getAttributes;
  SetAttributesProc setAttributes;
  DWORD end;  // 0
};

// Number of attributes in a VpmAttributeBlock.
constexpr int attributeCount = 5;

struct VpmAttributeBlock {
  DWORD size;  // a host request holds 16
  DWORD mask;  // bit n set: attribute n may be set
  BYTE attributes[attributeCount];
  BYTE unused[3];
};

struct SurfaceSize {
  LONG width;
  LONG height;
};

// Geometry of the overlay, in pixels; rectangles are left, top, right, bottom.
struct OverlayWindow {
  LONG unused0[3];
  LONG frameWidth;   // width of the incoming video frame, below 1024
  LONG frameHeight;  // height of the incoming video frame, below 1024
  RECT captureRect;  // part of the frame taken in
  LONG zeroedByDefault[2];  // set to 0 by the default geometry, read by nothing
  SurfaceSize surfaceSize;  // overlay surface, at most 750 x 600
  RECT imageRect;    // where the captured image lies in the overlay surface
  RECT displayRect;  // part of the overlay surface that is shown
  RECT destRect;     // screen rectangle in which the overlay is shown
};

// Number of 32-bit capability values at the end of OverlayCaps (descriptor
// offsets +64 to +291).
constexpr int capabilityValueCount = 57;

struct OverlayCaps {
  DWORD unused12;
  DWORD revision;  // negotiate writes 8
  DWORD unused20[2];
  DWORD formats;  // 2 = RGB 5:6:5, 4 = YUY2, 6 = both
  DWORD unused32;
  DWORD format;  // the chosen pixel format
  DWORD unused40;
  DWORD capFlags;
  DWORD generationMask;
  DWORD keyColor;
  BYTE register0BSetting;  // low two bits go to overlay register 0x0B
  BYTE unused57[7];
  // capabilityValues[i] is the value at descriptor offset 64 + 4 * i.
  DWORD capabilityValues[capabilityValueCount];
};

struct OverlayDescriptor {
  DWORD unused0;
  DWORD ownerWindow;  // window handle (handles are 32-bit significant on every Windows)
  NoticeCallback noticeCallback;
  OverlayCaps caps;
  BYTE unused292[16];
  OverlayWindow window;
  BYTE unused408[28];
};

// Filled by lock, read by readRect and writeRect.
struct SurfaceAccess {
  DWORD unused0;
  DWORD requestFlags;  // lock works only with bit 0x8
  DWORD unused8;
  BYTE* memory;  // start of the overlay memory
  LONG pitch;    // bytes from one line to the next
};

// Size of the shareable block an overlay object owns.
constexpr DWORD sharedBufferSize = 0x4800;

struct OverlayObject {
  DWORD size;  // size of the part before the stored descriptor: 64 on the 32-bit target
  ObjectProc close;
  ObjectProc show;
  ObjectProc hide;
  ObjectProc showSurface;
  ObjectProc hideSurface;
  GetDescriptorProc getDescriptor;
  ConfigureProc configure;
  ReservedOp1Proc reservedOp1;
  SetWindowProc setWindow;
  LockProc lock;
  ObjectProc unlock;
  ReadRectProc readRect;
  WriteRectProc writeRect;
  ReservedOp2Proc reservedOp2;
  DWORD end;  // 0
  OverlayDescriptor storedDescriptor;  // last descriptor configure accepted; zero until then
  DWORD unused500;
  DWORD surfacesOffset;  // overlay memory offset from screen memory while this object's surface exists
  HGLOBAL sharedBuffer;
  void* sharedBufferAddress;  // locked for the object's lifetime
  DWORD lockCount;
};

// The value of OverlayObject.size: the part in front of the stored descriptor.
constexpr DWORD overlayObjectHeaderSize = offsetof(OverlayObject, storedDescriptor);

#if defined(_WIN32) && !defined(_WIN64)
// The host's layout, byte by byte.
static_assert(sizeof(VpmDriverTable) == 32);
static_assert(offsetof(VpmDriverTable, closeDriver) == 4);
static_assert(offsetof(VpmDriverTable, queryDriver) == 8);
static_assert(offsetof(VpmDriverTable, negotiate) == 12);
static_assert(offsetof(VpmDriverTable, openOverlay) == 16);
static_assert(offsetof(VpmDriverTable, getAttributes) == 20);
static_assert(offsetof(VpmDriverTable, setAttributes) == 24);
static_assert(offsetof(VpmDriverTable, end) == 28);

static_assert(sizeof(VpmAttributeBlock) == 16);
static_assert(offsetof(VpmAttributeBlock, mask) == 4);
static_assert(offsetof(VpmAttributeBlock, attributes) == 8);
static_assert(offsetof(VpmAttributeBlock, unused) == 13);

static_assert(sizeof(OverlayDescriptor) == 436);
static_assert(offsetof(OverlayDescriptor, ownerWindow) == 4);
static_assert(offsetof(OverlayDescriptor, noticeCallback) == 8);
static_assert(offsetof(OverlayDescriptor, caps) == 12);
static_assert(offsetof(OverlayDescriptor, caps.revision) == 16);
static_assert(offsetof(OverlayDescriptor, caps.formats) == 28);
static_assert(offsetof(OverlayDescriptor, caps.format) == 36);
static_assert(offsetof(OverlayDescriptor, caps.capFlags) == 44);
static_assert(offsetof(OverlayDescriptor, caps.generationMask) == 48);
static_assert(offsetof(OverlayDescriptor, caps.keyColor) == 52);
static_assert(offsetof(OverlayDescriptor, caps.register0BSetting) == 56);
static_assert(offsetof(OverlayDescriptor, caps.capabilityValues) == 64);
static_assert(offsetof(OverlayDescriptor, unused292) == 292);
static_assert(offsetof(OverlayDescriptor, window) == 308);
static_assert(offsetof(OverlayDescriptor, unused408) == 408);
static_assert(sizeof(OverlayCaps) == 280);

static_assert(sizeof(OverlayWindow) == 100);
static_assert(offsetof(OverlayWindow, frameWidth) == 12);
static_assert(offsetof(OverlayWindow, frameHeight) == 16);
static_assert(offsetof(OverlayWindow, captureRect) == 20);
static_assert(offsetof(OverlayWindow, zeroedByDefault) == 36);
static_assert(offsetof(OverlayWindow, surfaceSize.width) == 44);
static_assert(offsetof(OverlayWindow, surfaceSize.height) == 48);
static_assert(offsetof(OverlayWindow, imageRect) == 52);
static_assert(offsetof(OverlayWindow, displayRect) == 68);
static_assert(offsetof(OverlayWindow, destRect) == 84);

static_assert(sizeof(SurfaceAccess) == 20);
static_assert(offsetof(SurfaceAccess, requestFlags) == 4);
static_assert(offsetof(SurfaceAccess, memory) == 12);
static_assert(offsetof(SurfaceAccess, pitch) == 16);

static_assert(sizeof(OverlayObject) == 520);
static_assert(offsetof(OverlayObject, close) == 4);
static_assert(offsetof(OverlayObject, show) == 8);
static_assert(offsetof(OverlayObject, hide) == 12);
static_assert(offsetof(OverlayObject, showSurface) == 16);
static_assert(offsetof(OverlayObject, hideSurface) == 20);
static_assert(offsetof(OverlayObject, getDescriptor) == 24);
static_assert(offsetof(OverlayObject, configure) == 28);
static_assert(offsetof(OverlayObject, reservedOp1) == 32);
static_assert(offsetof(OverlayObject, setWindow) == 36);
static_assert(offsetof(OverlayObject, lock) == 40);
static_assert(offsetof(OverlayObject, unlock) == 44);
static_assert(offsetof(OverlayObject, readRect) == 48);
static_assert(offsetof(OverlayObject, writeRect) == 52);
static_assert(offsetof(OverlayObject, reservedOp2) == 56);
static_assert(offsetof(OverlayObject, end) == 60);
static_assert(offsetof(OverlayObject, storedDescriptor) == 64);
static_assert(offsetof(OverlayObject, storedDescriptor.caps.capFlags) == 108);
static_assert(offsetof(OverlayObject, storedDescriptor.window) == 372);
static_assert(offsetof(OverlayObject, storedDescriptor.window.surfaceSize) == 416);
static_assert(offsetof(OverlayObject, storedDescriptor.window.displayRect) == 440);
static_assert(offsetof(OverlayObject, storedDescriptor.window.destRect) == 456);
static_assert(offsetof(OverlayObject, unused500) == 500);
static_assert(offsetof(OverlayObject, surfacesOffset) == 504);
static_assert(offsetof(OverlayObject, sharedBuffer) == 508);
static_assert(offsetof(OverlayObject, sharedBufferAddress) == 512);
static_assert(offsetof(OverlayObject, lockCount) == 516);
static_assert(overlayObjectHeaderSize == 64);
#endif

// On every target: fields in the host's order, only address fields wider.
static_assert(offsetof(OverlayCaps, capabilityValues) + sizeof(DWORD) * capabilityValueCount == sizeof(OverlayCaps));
static_assert(sizeof(OverlayWindow) == 100 && sizeof(OverlayCaps) == 280 && sizeof(VpmAttributeBlock) == 16);

}  // namespace ovlport
