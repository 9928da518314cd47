// A lister on an in-memory notebook, for the tests.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "oidview.h"
#include "sim/device_sim.h"
#include "sim/language_sim.h"
#include "sim/registry_sim.h"

namespace oidview::testing {

inline constexpr const char* kNet = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Net";
inline constexpr const char* kInstall =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VxD\\KVELDHUB\\Install";

// Standard output and error captured, standard input given as lines.
class ScriptConsole : public platform::Console {
 public:
  std::string out, err;
  std::deque<std::string> input;
  int reads = 0;
  void writeOut(std::string_view bytes) override { out.append(bytes); }
  void writeErr(std::string_view bytes) override { err.append(bytes); }
  bool readLine(std::string& line) override {
    ++reads;
    if (input.empty()) return false;
    line = input.front();
    input.pop_front();
    return true;
  }
};

class FakeVersion : public platform::Version {
 public:
  DWORD platformId = VER_PLATFORM_WIN32_WINDOWS;
  int calls = 0;
  BOOL GetVersionExA(OSVERSIONINFOA* info) override {
    ++calls;
    if (info->dwOSVersionInfoSize != 148) return FALSE;
    info->dwMajorVersion = 4;
    info->dwPlatformId = platformId;
    return TRUE;
  }
};

struct Notebook {
  sim::SimRegistry registry;
  FakeVersion version;
  sim::SimLanguage language;
  sim::SimDevice device;
  ScriptConsole console;
  Lister lister{registry, version, language, device, console};

  // An adapter key under the class key; upper/lower empty leave out Ndi\Interfaces.
  void adapter(const std::string& name, const std::string& description, const std::string& upper = "ndis3",
               const std::string& lower = "ethernet") {
    const std::string key = std::string(kNet) + "\\" + name;
    registry.key(key);
    if (!description.empty()) registry.setString(key, "DriverDesc", description);
    if (!upper.empty() || !lower.empty()) {
      registry.key(key + "\\Ndi\\Interfaces");
      if (!upper.empty()) registry.setString(key + "\\Ndi\\Interfaces", "Upper", upper);
      if (!lower.empty()) registry.setString(key + "\\Ndi\\Interfaces", "Lower", lower);
    }
  }

  int run(std::vector<std::string> args) {
    std::vector<const char*> argv{"oidview"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    return runOidview(lister, static_cast<int>(argv.size()), argv.data());
  }
};

}  // namespace oidview::testing
