// nicmark on Windows: the system's own registry and version query.
#include <string_view>
#include <vector>

#include "nicmark.h"
#include "platform/console.h"
#include "win32/registry_win32.h"

int main(int argc, char** argv) {
  platform::Win32Version version;
  platform::Win32Registry registry;
  platform::StdioConsole console;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  return nicmark::run(version, registry, console, args);
}
