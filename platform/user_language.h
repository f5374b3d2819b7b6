#pragma once
// The user's language, from the user's default locale, and the catalogue's texts in it.

#include "text/catalogue.h"

namespace swiftsetup {

// Chosen anew from the user's default locale on every call.
[[nodiscard]] Language userLanguage();

// The display text of a message key in the user's language; a key outside the catalogue comes back
// unchanged (the same pointer). Never fails and allocates nothing; callers copy the result at once.
[[nodiscard]] const char* translate(const char* key);

}  // namespace swiftsetup
