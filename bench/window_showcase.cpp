// Shows the installer's window as it looks part-way through unpacking, with the catalogue's texts
// in the user's language, and holds it there for a screenshot (scripts/screenshot-window).
// Usage: ui.window_showcase <ready file> [hold seconds] [--question]
// Once the window has painted, its outer rectangle ("left top right bottom") is written to the
// ready file; the window then stays until the hold time has passed. With --question it asks, as a
// windowed run does, about a file another program holds, and the rectangle is the question's.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "install/installer.h"
#include "tests/support/test_support.h"
#include "tests/ui/scripted_installer.h"
#include "platform/system_errors.h"
#include "platform/user_language.h"
#include "ui/dummy_logger.h"
#include "text/failure.h"
#include "ui/graphical_interface.h"

namespace {

// The rectangle of this process's message box, once it shows; written to the ready file.
void reportBoxWhenShown(const std::wstring& readyFile) {
    for (int i = 0; i < 3000; ++i, Sleep(10)) {
        HWND box = FindWindowW(L"#32770", nullptr);
        DWORD owner = 0;
        if (box == nullptr || !IsWindowVisible(box) || (GetWindowThreadProcessId(box, &owner), owner) != GetCurrentProcessId()) {
            continue;
        }
        Sleep(1000);  // let it paint
        RECT outer{};
        GetWindowRect(box, &outer);
        char line[64];
        std::snprintf(line, sizeof(line), "%ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
        testsupport::writeFile(readyFile, line);
        return;
    }
}

DWORD WINAPI reportBox(void* readyFile) {
    reportBoxWhenShown(*static_cast<const std::wstring*>(readyFile));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace swiftsetup;
    if (argc < 2) return 2;
    const std::wstring readyFile = testsupport::widen(argv[1]);
    const int holdSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const bool question = argc > 3 && std::string(argv[3]) == "--question";

    Installer installer;
    DummyLogger logger;
    GraphicalInterface ui(translate("#window_title"), installer);
    uitest::scripted().install = [&](Interface& frontEnd) {
        frontEnd.setStatus(translate("#installer_status_installing_files"));
        const uint32_t total = 157286400;  // about the size of the real payload
        for (uint32_t step = 0; step <= 62; ++step) {
            frontEnd.setProgress(total / 100 * step, total);
            Sleep(10);
        }
        if (question) {
            const Failure held{Step::Claim, 32, "C:\\Users\\Bo\\AppData\\Local\\Apps\\Lexmora 3\\notes.txt"};
            const UserMessage asked = heldQuestion(held, userLanguage(), systemErrorText(held.systemError), {"Notepad"});
            HANDLE reporter = CreateThread(nullptr, 0, &reportBox, const_cast<std::wstring*>(&readyFile), 0, nullptr);
            frontEnd.askRetryCancel(asked.text, asked.caption);
            WaitForSingleObject(reporter, INFINITE);
            CloseHandle(reporter);
            return true;
        }
        Sleep(1000);  // let the window and the desktop around it paint
        RECT outer{};
        GetWindowRect(ui.windowHandle(), &outer);
        char line[64];
        std::snprintf(line, sizeof(line), "%ld %ld %ld %ld\n", outer.left, outer.top, outer.right,
                      outer.bottom);
        testsupport::writeFile(readyFile, line);
        Sleep(static_cast<DWORD>(holdSeconds) * 1000);
        return true;
    };
    return ui.install(logger) ? 0 : 1;
}
