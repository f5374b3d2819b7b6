#include "platform/process_arguments.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

std::string commandLineText() { return wideToUtf8(GetCommandLineW(), -1); }

std::vector<std::string> commandLineArguments() {
    int count = 0;
    LocalMemory memory(CommandLineToArgvW(GetCommandLineW(), &count));
    const auto* arguments = static_cast<const wchar_t* const*>(memory.get());
    std::vector<std::string> result;
    if (arguments == nullptr) return result;
    for (int i = 0; i < count; ++i) result.push_back(wideToUtf8(arguments[i], -1));
    return result;
}

}  // namespace swiftsetup
