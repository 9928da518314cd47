// A VPM host session on the simulated notebook: ovlhost loads the driver
// library as a host does, runs the script's steps against it and reports each
// step as one JSON object per line.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "script.h"

namespace ovlhost {

struct SessionOptions {
  std::filesystem::path driver;  // the driver library
  std::filesystem::path png;     // the screen picture; empty for none
  bool trace = false;            // port accesses and DirectDraw calls per step
};

// Exit codes besides kBadScriptExit.
inline constexpr int kSessionFailedExit = 1;

// Runs the script; writes the step lines and the final state line to out and
// messages to err.  Returns the exit code: 0 when every step ran (whatever
// the driver answered), kBadScriptExit for a step that cannot be run as
// written, kSessionFailedExit when the driver cannot be loaded or the picture
// not written.  Loads the library once per process.
int runSession(const Script& script, const std::string& scriptName, const SessionOptions& options, std::FILE* out,
               std::FILE* err);

// The name of a driver result code ("errGeometry"), or empty.
std::string resultName(long result);

}  // namespace ovlhost
