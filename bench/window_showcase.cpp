// Shows the installer's window as it looks part-way through unpacking, with the catalogue's texts
// in the user's language, and holds it there for a screenshot (scripts/screenshot-window).
// Usage: ui.window_showcase <ready file> [hold seconds]
// Once the window has painted, its outer rectangle ("left top right bottom") is written to the
// ready file; the window then stays until the hold time has passed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "install/installer.h"
#include "tests/support/test_support.h"
#include "tests/ui/scripted_installer.h"
#include "platform/user_language.h"
#include "ui/dummy_logger.h"
#include "ui/graphical_interface.h"

int main(int argc, char** argv) {
    using namespace swiftsetup;
    if (argc < 2) return 2;
    const std::wstring readyFile = testsupport::widen(argv[1]);
    const int holdSeconds = argc > 2 ? std::atoi(argv[2]) : 60;

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
