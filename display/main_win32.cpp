// nicshow on Windows: the platform's NetBIOS.
#include "nicshow.h"
#include "platform/console.h"
#include "win32/netbios_win32.h"

int main() {
  platform::StdioConsole console;
  platform::Win32NetBios netbios;
  return nicshow::run(netbios, console);
}
