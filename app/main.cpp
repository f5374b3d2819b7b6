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

    // The arguments; argument 0 is the program and never a switch.
    int argumentCount = 0;
    LocalMemory argumentMemory(CommandLineToArgvW(GetCommandLineW(), &argumentCount));
    const auto* arguments = static_cast<const wchar_t* const*>(argumentMemory.get());
    const RunMode mode = arguments != nullptr ? parseSwitches(argumentCount, arguments) : RunMode{};

    // The Installer outlives the front end, which refers to it.
    auto installer = std::make_unique<Installer>();

    // The front end: quiet, or the window titled in the user's language.
    std::unique_ptr<Interface> frontEnd;
    if (mode.quiet) {
        frontEnd = std::make_unique<DummyInterface>(*installer);
    } else {
        const std::string title = translate("#window_title");
        frontEnd = std::make_unique<GraphicalInterface>(title, *installer);
    }

    auto logger = std::make_unique<DummyLogger>();
    const bool succeeded = mode.uninstall ? frontEnd->uninstall(*logger) : frontEnd->install(*logger);

    // Teardown in this order: the front end refers to the Installer, and the Installer holds the
    // lock that keeps a second installer waiting until this one is done.
    frontEnd.reset();
    logger.reset();
    installer.reset();

    // Only a quiet run can report failure; a windowed run's operation returns true.
    return succeeded ? 0 : -1;
}
