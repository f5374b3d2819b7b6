// exit_with_code <code> [<milliseconds>]
//
// Ends with the given exit code, after waiting the given time (default 0). The code is decimal,
// optionally negative, or hexadecimal after "0x": "-1" and "0xFFFFFFFF" are the same code.
// Anything else on the command line is ignored, so a test may add arguments of its own.
// Exit code 0x7FFFFFF0 means the arguments could not be read.
#include <windows.h>

#include "tests/helpers/helper_arguments.h"

int main() {
    constexpr UINT kBadArguments = 0x7FFFFFF0;
    const std::vector<std::wstring> arguments = helpers::arguments();
    if (arguments.empty()) ExitProcess(kBadArguments);
    const std::optional<uint32_t> code = helpers::parseNumber(arguments[0]);
    if (!code) ExitProcess(kBadArguments);
    if (arguments.size() > 1) {
        const std::optional<uint32_t> wait = helpers::parseNumber(arguments[1]);
        if (!wait) ExitProcess(kBadArguments);
        Sleep(*wait);
    }
    // ExitProcess rather than a return from main: the code passes through unchanged, all 32 bits.
    ExitProcess(*code);
}
