// The user's language as the platform reports it.
#pragma once

#include "platform/win32_api.h"

namespace platform {

class Language {
 public:
  virtual ~Language() = default;
  // The language identifier of the user's locale: primary language in the
  // low 10 bits, sublanguage above them.
  virtual LANGID GetUserDefaultLangID() = 0;
};

}  // namespace platform
