#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace swiftsetup {

struct RunMode {
    bool quiet = false;
    bool uninstall = false;
    // "/log": a new log in the user's temporary folder; "/log=PATH": that file (an empty PATH is
    // kept, and cannot be written). The last one given counts.
    bool log = false;
    std::optional<std::wstring> logPath;
};

// "/quiet", "/uninstall", "/log" and "/log=PATH", matched whole and case-sensitively (PATH as
// the system split it, quotation marks removed), anywhere after argument 0; every other argument
// is ignored.
RunMode parseSwitches(int argumentCount, const wchar_t* const* arguments);

}  // namespace swiftsetup
