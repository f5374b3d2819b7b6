#include "app/command_line.h"

#include <string_view>

namespace swiftsetup {

RunMode parseSwitches(const std::vector<std::string>& arguments) {
    constexpr std::string_view kLogTo = "/log=";
    RunMode mode;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "/quiet") {
            mode.quiet = true;
        } else if (argument == "/uninstall") {
            mode.uninstall = true;
        } else if (argument == "/log") {
            mode.log = true;
            mode.logPath.reset();
        } else if (argument.compare(0, kLogTo.size(), kLogTo) == 0) {
            mode.log = true;
            mode.logPath = argument.substr(kLogTo.size());
        }
    }
    return mode;
}

}  // namespace swiftsetup
