// oidview on Windows.
#include "oidview.h"
#include "win32/device_io_win32.h"
#include "win32/registry_win32.h"

int main(int argc, char** argv) {
  static platform::Win32Registry registry;
  static platform::Win32Version version;
  static platform::Win32Language language;
  static platform::Win32DeviceIo device;
  static platform::StdioConsole console;
  static oidview::Lister lister{registry, version, language, device, console};
  return oidview::runOidview(lister, argc, argv);
}
