// The simulated notebook's user language, from the [user] section of the
// machine profile:
//   [user]
//   language = 0x0411     the user's default language (0x0409 when absent)
#pragma once

#include <string>

#include <toml++/toml.h>

#include "platform/language.h"

namespace sim {

class SimLanguage : public platform::Language {
 public:
  LANGID language = 0x0409;
  int calls = 0;
  LANGID GetUserDefaultLangID() override {
    ++calls;
    return language;
  }
};

bool loadLanguage(SimLanguage& language, const toml::table& profile, std::string& error);

}  // namespace sim
