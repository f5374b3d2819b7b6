#pragma once
// The switches of the command line. Portable: the arguments come split and in UTF-8.

#include <optional>
#include <string>
#include <vector>

namespace swiftsetup {

struct RunMode {
    bool quiet = false;
    bool uninstall = false;
    // "/log": a new log in the user's temporary folder; "/log=PATH": that file (an empty PATH is
    // kept, and cannot be written). The last one given counts.
    bool log = false;
    std::optional<std::string> logPath;
};

// "/quiet", "/uninstall", "/log" and "/log=PATH", matched whole and case-sensitively (PATH as
// the system split it, quotation marks removed), anywhere after argument 0; every other argument
// is ignored.
[[nodiscard]] RunMode parseSwitches(const std::vector<std::string>& arguments);

}  // namespace swiftsetup
