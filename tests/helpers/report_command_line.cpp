// report_command_line [<report file>] [anything...]
//
// Writes the command line it received, exactly as GetCommandLineW gives it, as UTF-8 (no byte
// order mark, no line break) into a report file, then ends with exit code 0. The report file is
// named by the environment variable LEXMORA_REPORT_FILE when that is set; otherwise by the first
// argument (as CommandLineToArgvW splits the command line). Everything else is only reported.
// Exit code 0x7FFFFFF0 means no report file was named, 0x7FFFFFF1 that it could not be written.
#include <windows.h>

#include <string>

#include "tests/helpers/helper_arguments.h"

int main() {
    constexpr UINT kNoReportFile = 0x7FFFFFF0;
    constexpr UINT kCannotWrite = 0x7FFFFFF1;
    std::wstring reportFile;
    wchar_t fromEnvironment[32768];
    const DWORD length = GetEnvironmentVariableW(L"LEXMORA_REPORT_FILE", fromEnvironment, 32768);
    if (length > 0 && length < 32768) {
        reportFile.assign(fromEnvironment, length);
    } else {
        const std::vector<std::wstring> arguments = helpers::arguments();
        if (arguments.empty() || arguments[0].empty()) ExitProcess(kNoReportFile);
        reportFile = arguments[0];
    }
    if (!helpers::publishFile(reportFile, helpers::toUtf8(GetCommandLineW()))) ExitProcess(kCannotWrite);
    ExitProcess(0);
}
