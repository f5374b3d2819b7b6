// run_until_told [--stop-event <name>] [--stop-file <path>] [--ready-file <path>]
//                [--done-file <path>] [--timeout <milliseconds>] [--exit-code <code>]
//
// Keeps running until it is told to stop, then ends with --exit-code (default 0):
//   --stop-event  a named event (created when missing, so the test may create it before or after)
//                 that someone sets;
//   --stop-file   a file that someone creates (checked every 20 ms).
// It never lingers: after --timeout (default 120000 ms) it ends on its own with exit code 258
// (WAIT_TIMEOUT). Without a stop option it simply runs for the timeout.
//   --ready-file  once it is running and listening, it writes its process id (decimal ASCII) into
//                 this file; the file appears whole or not at all.
//   --done-file   written (with "stopped" or "timeout") just before it ends, whichever the reason.
// Exit code 0x7FFFFFF0 means the arguments could not be read, 0x7FFFFFF1 that a file or the
// event could not be made.
#include <windows.h>

#include <string>

#include "tests/helpers/helper_arguments.h"

int main() {
    constexpr UINT kBadArguments = 0x7FFFFFF0;
    constexpr UINT kCannotSignal = 0x7FFFFFF1;
    std::wstring stopEvent, stopFile, readyFile, doneFile;
    uint32_t timeout = 120000;
    uint32_t exitCode = 0;

    const std::vector<std::wstring> arguments = helpers::arguments();
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& name = arguments[i];
        if (i + 1 >= arguments.size()) ExitProcess(kBadArguments);
        const std::wstring& value = arguments[++i];
        if (name == L"--stop-event") {
            stopEvent = value;
        } else if (name == L"--stop-file") {
            stopFile = value;
        } else if (name == L"--ready-file") {
            readyFile = value;
        } else if (name == L"--done-file") {
            doneFile = value;
        } else if (name == L"--timeout" || name == L"--exit-code") {
            const std::optional<uint32_t> number = helpers::parseNumber(value);
            if (!number) ExitProcess(kBadArguments);
            (name == L"--timeout" ? timeout : exitCode) = *number;
        } else {
            ExitProcess(kBadArguments);
        }
    }

    HANDLE event = nullptr;
    if (!stopEvent.empty()) {
        event = CreateEventW(nullptr, TRUE, FALSE, stopEvent.c_str());
        if (event == nullptr) ExitProcess(kCannotSignal);
    }
    if (!readyFile.empty() &&
        !helpers::publishFile(readyFile, std::to_string(GetCurrentProcessId()))) {
        ExitProcess(kCannotSignal);
    }

    const ULONGLONG start = GetTickCount64();
    bool told = false;
    for (;;) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= timeout) break;
        DWORD slice = static_cast<DWORD>(timeout - elapsed);
        if (!stopFile.empty() && slice > 20) slice = 20;
        if (event != nullptr) {
            if (WaitForSingleObject(event, slice) == WAIT_OBJECT_0) {
                told = true;
                break;
            }
        } else {
            Sleep(slice);
        }
        if (!stopFile.empty() && GetFileAttributesW(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
            told = true;
            break;
        }
    }
    if (event != nullptr) CloseHandle(event);
    if (!doneFile.empty()) helpers::publishFile(doneFile, told ? "stopped" : "timeout");
    ExitProcess(told ? exitCode : WAIT_TIMEOUT);
}
