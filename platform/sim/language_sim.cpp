#include "sim/language_sim.h"

#include "sim/machine.h"

namespace sim {

bool loadLanguage(SimLanguage& language, const toml::table& profile, std::string& error) {
  const toml::node* node = profile["user"]["language"].node();
  if (node == nullptr) return true;
  long long value = 0;
  if (!profileInteger(node, value) || value < 0 || value > 0xFFFF) {
    error = "[user] language must be a language identifier, as 0x0409 or 0x0411";
    return false;
  }
  language.language = static_cast<LANGID>(value);
  return true;
}

}  // namespace sim
