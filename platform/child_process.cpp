#include "platform/child_process.h"

#include <windows.h>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

struct StartedProcess {
    UniqueHandle process;
    UniqueHandle thread;
};

// Creates the process of a command line, or writes why not to the debugger; the system's error.
uint32_t createProcess(const std::string& commandLine, StartedProcess& started) {
    // Windows may write into the command line while it parses it, so it gets a buffer of its own;
    // read as a C string, the buffer ends at the first NUL of the text.
    WideBuffer wideCommandLine = utf8ToWide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION information{};
    if (!CreateProcessW(nullptr, wideCommandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &information)) {
        const DWORD error = GetLastError();
        const std::string reason = systemErrorText(error);
        OutputDebugStringA(reason.c_str());
        OutputDebugStringA("\r\n");
        return error != ERROR_SUCCESS ? error : ERROR_INVALID_FUNCTION;
    }
    started.process.reset(information.hProcess);
    started.thread.reset(information.hThread);
    return ERROR_SUCCESS;
}

}  // namespace

ProcessOutcome startProcess(const std::string& commandLine) {
    StartedProcess started;
    return ProcessOutcome{createProcess(commandLine, started), std::nullopt};
}

ProcessOutcome runProcess(const std::string& commandLine) {
    StartedProcess started;
    ProcessOutcome outcome{createProcess(commandLine, started), std::nullopt};
    if (!outcome.started()) return outcome;
    WaitForSingleObject(started.process.get(), INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(started.process.get(), &code)) outcome.exitCode = code;
    started.thread.reset();
    started.process.reset();
    return outcome;
}

}  // namespace swiftsetup
