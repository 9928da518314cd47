// ovlhost SCRIPT.json [--png OUT.png] [--trace] [--driver LIBRARY]
//
// Runs a VPM host session against the overlay driver on the simulated
// notebook the script describes, printing one JSON object per step and the
// driver's final state; --png writes the screen as composed with the overlay
// (and the overlay surface beside it, OUT-overlay.png).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host_session.h"
#include "script.h"

namespace {

constexpr const char* kUsage = "usage: ovlhost SCRIPT.json [--png OUT.png] [--trace] [--driver LIBRARY]\n";

// The driver library beside the program, as the kit installs them.
std::filesystem::path defaultDriver() {
  std::error_code ignored;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ignored);
  return self.parent_path() / "libovlport.so";
}

}  // namespace

int main(int argc, char** argv) {
  ovlhost::SessionOptions options;
  options.driver = defaultDriver();
  std::string scriptFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--trace") {
      options.trace = true;
    } else if ((arg == "--png" || arg == "--driver") && i + 1 < argc) {
      (arg == "--png" ? options.png : options.driver) = argv[++i];
    } else if (!arg.empty() && arg[0] != '-' && scriptFile.empty()) {
      scriptFile = arg;
    } else {
      std::fputs(kUsage, stderr);
      return ovlhost::kBadScriptExit;
    }
  }
  if (scriptFile.empty()) {
    std::fputs(kUsage, stderr);
    return ovlhost::kBadScriptExit;
  }
  std::ifstream in(scriptFile, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "ovlhost: cannot read %s\n", scriptFile.c_str());
    return ovlhost::kBadScriptExit;
  }
  std::ostringstream text;
  text << in.rdbuf();
  ovlhost::Script script;
  std::string error;
  if (!ovlhost::parseScript(text.str(), script, error)) {
    std::fprintf(stderr, "ovlhost: %s: %s\n", scriptFile.c_str(), error.c_str());
    return ovlhost::kBadScriptExit;
  }
  return ovlhost::runSession(script, scriptFile, options, stdout, stderr);
}
