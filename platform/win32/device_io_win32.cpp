#include "win32/device_io_win32.h"

namespace platform {

HANDLE Win32DeviceIo::CreateFileA(const char* fileName, DWORD desiredAccess, DWORD shareMode,
                                  SECURITY_ATTRIBUTES* security, DWORD creationDisposition, DWORD flagsAndAttributes,
                                  HANDLE templateFile) {
  return ::CreateFileA(fileName, desiredAccess, shareMode, security, creationDisposition, flagsAndAttributes,
                       templateFile);
}

BOOL Win32DeviceIo::DeviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBufferSize,
                                    void* outBuffer, DWORD outBufferSize, DWORD* bytesReturned,
                                    OVERLAPPED* overlapped) {
  return ::DeviceIoControl(device, ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize, bytesReturned,
                           overlapped);
}

HANDLE Win32DeviceIo::CreateEventA(SECURITY_ATTRIBUTES* security, BOOL manualReset, BOOL initialState,
                                   const char* name) {
  return ::CreateEventA(security, manualReset, initialState, name);
}

DWORD Win32DeviceIo::WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return ::WaitForSingleObject(handle, milliseconds);
}

BOOL Win32DeviceIo::GetOverlappedResult(HANDLE file, OVERLAPPED* overlapped, DWORD* bytesTransferred, BOOL wait) {
  return ::GetOverlappedResult(file, overlapped, bytesTransferred, wait);
}

DWORD Win32DeviceIo::GetLastError() { return ::GetLastError(); }

BOOL Win32DeviceIo::CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

LANGID Win32Language::GetUserDefaultLangID() { return ::GetUserDefaultLangID(); }

}  // namespace platform
