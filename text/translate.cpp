#include "text/translate.h"

#include <windows.h>

#include "text/catalogue.h"

namespace swiftsetup {

const char* translate(const char* key) {
    return lookup(languageForLocale(GetUserDefaultLCID()), key);
}

}  // namespace swiftsetup
