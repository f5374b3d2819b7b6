// Starting other programs: the installed application, Windows Installer and earlier uninstallers.
#include <windows.h>

#include <string>

#include "install/installer.h"
#include "platform/handles.h"
#include "platform/text_conversion.h"
#include "text/digits.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

struct StartedProcess {
    UniqueHandle process;
    UniqueHandle thread;
};

// Creates the process of a command line, or writes why not to the debugger and gives nothing.
// The command line is the caller's to quote; Windows finds the program by its first token.
bool createProcess(Logger* logger, const std::string& commandLine, StartedProcess& started) {
    if (logger != nullptr) logger->log(kLogCommandLine, commandLine);

    // Windows may write into the command line while it parses it, so it gets a buffer of its own;
    // read as a C string, the buffer ends at the first NUL of the text.
    WideBuffer wideCommandLine = utf8ToWide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION information{};
    if (!CreateProcessW(nullptr, wideCommandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &information)) {
        // The caller may judge the reason (a program that is not there at all): it stays the
        // thread's last error, whatever writing it to the debugger does to that.
        const DWORD error = GetLastError();
        const std::string reason = systemErrorText(error);
        OutputDebugStringA(reason.c_str());
        OutputDebugStringA("\r\n");
        if (logger != nullptr) logger->log(kLogEvent, "could not start: system error " + digitsOf(error) + ": " + reason);
        SetLastError(error);
        return false;
    }
    started.process.reset(information.hProcess);
    started.thread.reset(information.hThread);
    return true;
}

}  // namespace

bool Installer::startProcess(const std::string& commandLine) {
    StartedProcess started;
    if (!createProcess(logger, commandLine, started)) return false;
    started.thread.reset();
    started.process.reset();
    return true;
}

bool Installer::runProcess(const std::string& commandLine, uint32_t* exitCode) {
    StartedProcess started;
    if (!createProcess(logger, commandLine, started)) return false;
    WaitForSingleObject(started.process.get(), INFINITE);
    if (exitCode != nullptr) {
        DWORD code = 0;
        // A code that cannot be read leaves the caller's value as it was.
        if (GetExitCodeProcess(started.process.get(), &code)) {
            *exitCode = code;
            if (logger != nullptr) logger->log(kLogEvent, "exited with " + digitsOf(code) + " (0x" + digitsOf(code, 16, 8) + ")");
        }
    }
    started.thread.reset();
    started.process.reset();
    return true;
}

}  // namespace swiftsetup
