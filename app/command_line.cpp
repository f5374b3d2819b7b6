#include "app/command_line.h"

namespace swiftsetup {

RunMode parseSwitches(int argumentCount, const wchar_t* const* arguments) {
    RunMode mode;
    for (int i = 1; i < argumentCount; ++i) {
        if (lstrcmpW(arguments[i], L"/quiet") == 0) {
            mode.quiet = true;
        } else if (lstrcmpW(arguments[i], L"/uninstall") == 0) {
            mode.uninstall = true;
        }
    }
    return mode;
}

}  // namespace swiftsetup
