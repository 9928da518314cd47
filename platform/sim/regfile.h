// REGEDIT4 registry files, the format regedit exports and imports: the
// simulated notebook keeps its registry in one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "sim/registry_sim.h"

namespace sim {

// Adds the keys and values of a REGEDIT4 text to the registry ("[-key]" and
// "name"=- delete).  False with a message naming the line on a syntax error.
bool importRegText(SimRegistry& registry, std::string_view text, std::string& error);
bool importRegFile(SimRegistry& registry, const std::filesystem::path& file, std::string& error);

// The whole registry (its volatile keys left out, as after a restart) as a
// REGEDIT4 text.
std::string exportRegText(const SimRegistry& registry);

// Writes the file atomically: a temporary file beside it, then a rename, so an
// interrupted run leaves either the old or the new file.
bool writeFileAtomically(const std::filesystem::path& file, std::string_view text, std::string& error);

}  // namespace sim
