// Device I/O with overlapped completion: a device opened by name, control
// requests on it, and the event and overlapped record that report a request's
// completion.  Same arguments, results and error numbers as the platform's
// calls; GetLastError reports the error of the last call that failed.
#pragma once

#include "platform/win32_api.h"

namespace platform {

class DeviceIo {
 public:
  virtual ~DeviceIo() = default;
  virtual HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                             DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) = 0;
  virtual BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBufferSize, void* outBuffer,
                               DWORD outBufferSize, DWORD* bytesReturned, OVERLAPPED* overlapped) = 0;
  virtual HANDLE CreateEventA(SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState, const char* name) = 0;
  virtual DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) = 0;
  virtual BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* bytesTransferred, BOOL wait) = 0;
  virtual DWORD GetLastError() = 0;
  virtual BOOL CloseHandle(HANDLE handle) = 0;
};

}  // namespace platform
