#include "sim/machine.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sim/regfile.h"

namespace sim {

// The built-in sample notebook, embedded at build time.
extern const char* const kBuiltinProfile;
extern const char* const kBuiltinRegistry;
extern const char* const kBuiltinRegistryName;

namespace {

std::string readFile(const std::filesystem::path& file, bool& ok) {
  std::ifstream in(file, std::ios::binary);
  ok = static_cast<bool>(in);
  std::ostringstream text;
  if (ok) text << in.rdbuf();
  return text.str();
}

// FNV-1a: a stable stamp of the built-in sample, so a newer build refreshes
// the per-user copy.
std::string stamp() {
  std::uint64_t hash = 1469598103934665603ull;
  for (const char* text : {kBuiltinProfile, kBuiltinRegistry})
    for (const char* p = text; *p != '\0'; ++p) hash = (hash ^ static_cast<unsigned char>(*p)) * 1099511628211ull;
  return std::to_string(hash);
}

}  // namespace

bool profileInteger(const toml::node* node, long long& value) {
  if (node == nullptr) return false;
  if (auto i = node->value<long long>()) {
    value = *i;
    return true;
  }
  if (auto s = node->value<std::string>()) {
    char* end = nullptr;
    value = std::strtoll(s->c_str(), &end, 0);
    return !s->empty() && end != nullptr && *end == '\0';
  }
  return false;
}

bool loadMachine(Machine& machine, const std::filesystem::path& profileFile, std::string& error) {
  machine.profileFile = profileFile;
  toml::parse_result parsed = toml::parse_file(profileFile.string());
  if (!parsed) {
    std::ostringstream message;
    message << profileFile.string() << ":" << parsed.error().source().begin.line << ": "
            << parsed.error().description();
    error = message.str();
    return false;
  }
  machine.profile = std::move(parsed).table();

  const toml::node* platform = machine.profile.get("platform");
  long long id = 0;
  if (platform == nullptr) {
    error = profileFile.string() + ": no platform (windows95, windowsnt, win32s or a platform id)";
    return false;
  }
  if (auto name = platform->value<std::string>()) {
    if (*name == "windows95") {
      machine.platformId = VER_PLATFORM_WIN32_WINDOWS;
    } else if (*name == "windowsnt") {
      machine.platformId = VER_PLATFORM_WIN32_NT;
      machine.buildNumber = 1381;
    } else if (*name == "win32s") {
      machine.platformId = VER_PLATFORM_WIN32s;
      machine.majorVersion = 3;
      machine.minorVersion = 10;
    } else if (profileInteger(platform, id)) {
      machine.platformId = static_cast<DWORD>(id);
    } else {
      error = profileFile.string() + ": unknown platform \"" + *name + "\"";
      return false;
    }
  } else if (profileInteger(platform, id)) {
    machine.platformId = static_cast<DWORD>(id);
  } else {
    error = profileFile.string() + ": platform must be a name or a number";
    return false;
  }

  if (auto registry = machine.profile["registry"].value<std::string>()) {
    machine.registryFile = profileFile.parent_path() / *registry;
    if (!importRegFile(machine.registry, machine.registryFile, error)) return false;
  }
  machine.registry.clearModified();
  return true;
}

bool machineNamed() {
  const char* named = std::getenv(kMachineVariable);
  return named != nullptr && *named != '\0';
}

std::filesystem::path builtinStateFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::filesystem::path base;
  if (state != nullptr && *state != '\0') {
    base = state;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr && *home != '\0' ? home : "/tmp") / ".local" / "state";
  }
  return base / "notebook-kit" / "sample";
}

bool installBuiltinSample(const std::filesystem::path& folder, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder.string() + ": " + ec.message();
    return false;
  }
  return writeFileAtomically(folder / kBuiltinRegistryName, kBuiltinRegistry, error) &&
         writeFileAtomically(folder / "sample.toml", kBuiltinProfile, error) &&
         writeFileAtomically(folder / "builtin.stamp", stamp(), error);
}

bool openMachine(Machine& machine, std::string& error) {
  if (machineNamed()) return loadMachine(machine, std::getenv(kMachineVariable), error);
  const std::filesystem::path folder = builtinStateFolder();
  bool ok = false;
  const std::string current = readFile(folder / "builtin.stamp", ok);
  if (!ok || current != stamp() || !std::filesystem::exists(folder / "sample.toml")) {
    if (!installBuiltinSample(folder, error)) return false;
  }
  machine.builtin = true;
  return loadMachine(machine, folder / "sample.toml", error);
}

bool saveRegistry(Machine& machine, std::string& error) {
  if (!machine.registry.modified() || machine.registryFile.empty()) return true;
  if (!writeFileAtomically(machine.registryFile, exportRegText(machine.registry), error)) return false;
  machine.registry.clearModified();
  return true;
}

BOOL SimVersion::GetVersionExA(OSVERSIONINFOA* info) {
  ++calls;
  if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
  info->dwMajorVersion = machine_.majorVersion;
  info->dwMinorVersion = machine_.minorVersion;
  info->dwBuildNumber = machine_.buildNumber;
  info->dwPlatformId = machine_.platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  return TRUE;
}

}  // namespace sim
