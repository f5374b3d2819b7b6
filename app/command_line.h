#pragma once
#include <windows.h>

namespace swiftsetup {

struct RunMode {
    bool quiet = false;
    bool uninstall = false;
};

// "/quiet" and "/uninstall", matched whole and case-sensitively, anywhere after argument 0;
// every other argument is ignored.
RunMode parseSwitches(int argumentCount, const wchar_t* const* arguments);

}  // namespace swiftsetup
