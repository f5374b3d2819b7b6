#include "platform/user_language.h"

#include <windows.h>

namespace swiftsetup {

Language userLanguage() { return languageForLocale(GetUserDefaultLCID()); }

const char* translate(const char* key) { return lookup(userLanguage(), key); }

}  // namespace swiftsetup
