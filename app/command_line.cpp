#include "app/command_line.h"

#include <cwchar>
#include <iterator>

namespace swiftsetup {

RunMode parseSwitches(int argumentCount, const wchar_t* const* arguments) {
    static constexpr wchar_t kLogTo[] = L"/log=";
    constexpr size_t kLogToLength = std::size(kLogTo) - 1;
    RunMode mode;
    for (int i = 1; i < argumentCount; ++i) {
        if (lstrcmpW(arguments[i], L"/quiet") == 0) {
            mode.quiet = true;
        } else if (lstrcmpW(arguments[i], L"/uninstall") == 0) {
            mode.uninstall = true;
        } else if (lstrcmpW(arguments[i], L"/log") == 0) {
            mode.log = true;
            mode.logPath.reset();
        } else if (std::wcsncmp(arguments[i], kLogTo, kLogToLength) == 0) {
            mode.log = true;
            mode.logPath = std::wstring(arguments[i] + kLogToLength);
        }
    }
    return mode;
}

}  // namespace swiftsetup
