// NetBIOS as the kit's tools reach it: one call that takes a network control
// block (NCB) and returns the command's return code, as the platform's
// Netbios does.
//
// On Windows the control block, the command codes and the return codes are
// the platform's own (<nb30.h>).  Elsewhere this header defines a control
// block with the same field names and the documented codes, so that the code
// above the seam reads like the Win32 program it is.  Only the fields the
// tools set and the codes they compare are relied upon.
#pragma once

#include "platform/win32_api.h"

#ifdef _WIN32
#include <nb30.h>
#else

using UCHAR = unsigned char;

constexpr int NCBNAMSZ = 16;   // length of a NetBIOS name
constexpr int MAX_LANA = 254;  // LAN adapter numbers run from 0 to MAX_LANA

// Network control block.  The Win32 record is 64 bytes on the 32-bit
// platform; this one keeps the fields in the same order with this machine's
// pointer size.
struct NCB {
  UCHAR ncb_command;  // command code; bit 0x80 (ASYNCH) asks for completion later
  UCHAR ncb_retcode;
  UCHAR ncb_lsn;
  UCHAR ncb_num;
  UCHAR* ncb_buffer;
  WORD ncb_length;
  UCHAR ncb_callname[NCBNAMSZ];
  UCHAR ncb_name[NCBNAMSZ];
  UCHAR ncb_rto;
  UCHAR ncb_sto;
  void (*ncb_post)(NCB*);
  UCHAR ncb_lana_num;
  UCHAR ncb_cmd_cplt;
  UCHAR ncb_reserve[10];
  HANDLE ncb_event;
};

// Command codes.
constexpr UCHAR NCBRESET = 0x32;  // reset the adapter's session and name tables
constexpr UCHAR NCBASTAT = 0x33;  // adapter status
constexpr UCHAR ASYNCH = 0x80;

// Return codes.
constexpr UCHAR NRC_GOODRET = 0x00;    // success
constexpr UCHAR NRC_BUFLEN = 0x01;     // illegal buffer length
constexpr UCHAR NRC_ILLCMD = 0x03;     // illegal command
constexpr UCHAR NRC_CMDTMO = 0x05;     // command timed out
constexpr UCHAR NRC_INCOMP = 0x06;     // message incomplete (buffer too small)
constexpr UCHAR NRC_BADDR = 0x07;      // illegal buffer address
constexpr UCHAR NRC_BRIDGE = 0x23;     // invalid adapter number
constexpr UCHAR NRC_ENVNOTDEF = 0x34;  // environment undefined: reset first
constexpr UCHAR NRC_SYSTEM = 0x40;     // system error

#endif

namespace platform {

class NetBios {
 public:
  virtual ~NetBios() = default;
  // Carries out the command in *ncb and returns its return code (also left in
  // ncb_retcode); NRC_GOODRET is success.
  virtual UCHAR Netbios(NCB* ncb) = 0;
};

}  // namespace platform
