// The real Win32 device I/O and language query.
#pragma once

#include "platform/device_io.h"
#include "platform/language.h"

namespace platform {

class Win32DeviceIo : public DeviceIo {
 public:
  HANDLE CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                     DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) override;
  BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBufferSize, void* outBuffer,
                       DWORD outBufferSize, DWORD* bytesReturned, OVERLAPPED* overlapped) override;
  HANDLE CreateEventA(SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState, const char* name) override;
  DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override;
  BOOL GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* bytesTransferred, BOOL wait) override;
  DWORD GetLastError() override;
  BOOL CloseHandle(HANDLE handle) override;
};

class Win32Language : public Language {
 public:
  LANGID GetUserDefaultLangID() override;
};

}  // namespace platform
