// A simulated notebook loaded from a machine profile.
//
// A profile is a TOML file: the platform the version query reports, the
// registry (a REGEDIT4 file beside it), and sections of its own for the other
// facilities (user language, NetBIOS adapters, companion device, display).
// The Linux programs take the profile named by KIT_MACHINE; without it they use
// the built-in sample notebook, copied first to the per-user state folder
// (${XDG_STATE_HOME:-$HOME/.local/state}/notebook-kit/sample) and changed there.
#pragma once

#include <filesystem>
#include <string>

#include <toml++/toml.h>

#include "platform/version.h"
#include "sim/registry_sim.h"

namespace sim {

inline constexpr const char* kMachineVariable = "KIT_MACHINE";

struct Machine {
  std::filesystem::path profileFile;
  std::filesystem::path registryFile;  // empty when the profile has no registry
  toml::table profile;
  bool builtin = false;
  // The version query's answer.
  DWORD platformId = VER_PLATFORM_WIN32_WINDOWS;
  DWORD majorVersion = 4;
  DWORD minorVersion = 0;
  DWORD buildNumber = 950;
  SimRegistry registry;
};

// Loads a profile file and its registry.
bool loadMachine(Machine& machine, const std::filesystem::path& profileFile, std::string& error);
// Loads the profile named by KIT_MACHINE, or the built-in sample.
bool openMachine(Machine& machine, std::string& error);
// True when KIT_MACHINE names a profile.
bool machineNamed();
// Writes the registry back to its file, atomically, when the run changed it.
bool saveRegistry(Machine& machine, std::string& error);
// Where the built-in sample lives once copied, and a fresh copy of it there.
std::filesystem::path builtinStateFolder();
bool installBuiltinSample(const std::filesystem::path& folder, std::string& error);

// A profile value that is an integer or a text holding one ("0x411" or "1041").
bool profileInteger(const toml::node* node, long long& value);

class SimVersion : public platform::Version {
 public:
  explicit SimVersion(const Machine& machine) : machine_(machine) {}
  BOOL GetVersionExA(OSVERSIONINFOA* info) override;
  int calls = 0;

 private:
  const Machine& machine_;
};

}  // namespace sim
