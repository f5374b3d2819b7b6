// A child program through which the platform tests observe what can only be seen from outside:
//
//   platform_probe module-path [<output file>]
//       writes modulePath() as UTF-8 into the file, or to standard output without one; exit 0,
//       or 1 when the path is empty or cannot be written.
//   platform_probe run <command line>
//   platform_probe start <command line>
//       runs the command line (one argument, quoted as CommandLineToArgvW expects) through the
//       Installer's runProcess or startProcess, with no logger attached. Exit code 10: the call
//       failed and left the exit-code variable alone; 11: it failed but changed it; 12: it
//       succeeded. A debugger attached to the probe sees what the call writes to it.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "install/installer.h"
#include "platform/paths.h"
#include "platform/text_conversion.h"

namespace {

bool writeAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

int reportModulePath(int count, wchar_t** arguments) {
    const std::string path = swiftsetup::modulePath();
    if (path.empty()) return 1;
    if (count < 3) return writeAll(GetStdHandle(STD_OUTPUT_HANDLE), path) ? 0 : 1;
    HANDLE file = CreateFileW(arguments[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const bool written = writeAll(file, path);
    CloseHandle(file);
    return written ? 0 : 1;
}

int launch(const std::wstring& mode, const std::string& commandLine) {
    swiftsetup::Installer installer;
    constexpr uint32_t kUntouched = 0x5EED;
    uint32_t exitCode = kUntouched;
    const bool started = mode == L"run" ? installer.runProcess(commandLine, &exitCode).started()
                                        : installer.startProcess(commandLine).started();
    if (started) return 12;
    return exitCode == kUntouched ? 10 : 11;
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count < 2) return 2;
    const std::wstring mode = arguments[1];
    int result = 2;
    if (mode == L"module-path") {
        result = reportModulePath(count, arguments);
    } else if ((mode == L"run" || mode == L"start") && count == 3) {
        result = launch(mode, swiftsetup::wideToUtf8(arguments[2], -1));
    }
    LocalFree(arguments);
    return result;
}
