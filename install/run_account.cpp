#include "install/run_account.h"

namespace swiftsetup {

bool isUserAccount(std::string_view sid) {
    for (const std::string_view service : {"S-1-5-18", "S-1-5-19", "S-1-5-20"}) {
        if (sid == service) return false;
    }
    // NT SERVICE\... and IIS APPPOOL\...: accounts of one service or pool each.
    for (const std::string_view prefix : {"S-1-5-80-", "S-1-5-82-"}) {
        if (sid.substr(0, prefix.size()) == prefix) return false;
    }
    return true;
}

}  // namespace swiftsetup
