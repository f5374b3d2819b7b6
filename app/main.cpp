// Entry point of the installer and of its copy "uninstall.exe".
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "app/command_line.h"
#include "install/installer.h"
#include "platform/dll_hardening.h"
#include "platform/handles.h"
#include "text/translate.h"
#include "ui/dummy_interface.h"
#include "ui/dummy_logger.h"
#include "ui/graphical_interface.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace swiftsetup;
    restrictDllSearchPath();

    // 1. The arguments; argument 0 is the program and never a switch.
    int argumentCount = 0;
    LocalMemory argumentMemory(CommandLineToArgvW(GetCommandLineW(), &argumentCount));
    const auto* arguments = static_cast<const wchar_t* const*>(argumentMemory.get());
    const RunMode mode = arguments != nullptr ? parseSwitches(argumentCount, arguments) : RunMode{};

    // 2. The Installer outlives the front end, which refers to it.
    auto installer = std::make_unique<Installer>();

    // 3.-5. The front end: quiet, or the window titled in the user's language.
    std::unique_ptr<Interface> frontEnd;
    if (mode.quiet) {
        frontEnd = std::make_unique<DummyInterface>(*installer);
    } else {
        const std::string title = translate("#window_title");
        frontEnd = std::make_unique<GraphicalInterface>(title, *installer);
    }

    // 6.-7. Run the chosen sequence.
    auto logger = std::make_unique<DummyLogger>();
    const bool succeeded = mode.uninstall ? frontEnd->uninstall(*logger) : frontEnd->install(*logger);

    // 8.-9. Teardown: front end, logger, Installer.
    frontEnd.reset();
    logger.reset();
    installer.reset();

    // 10. Only a quiet run can report failure; a windowed run's operation returns true.
    return succeeded ? 0 : -1;
}
