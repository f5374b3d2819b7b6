// The install: earlier versions removed, payload unpacked, uninstaller copied, the application
// registered with Windows, shortcuts made and the application started. Only the removal of
// earlier versions and the unpacking can fail the install; everything after is best effort.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "install/autostart.h"
#include "install/installer.h"
#include "install/product.h"
#include "install/shortcut.h"
#include "payload/payload_extractor.h"
#include "platform/paths.h"
#include "platform/registry_key.h"
#include "platform/text_conversion.h"
#include "text/translate.h"
#include "ui/copy_progress.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

constexpr int kPayloadResource = 256;  // both its type and its name

std::string text(const char* key) { return translate(key); }

void writeUninstallEntry(const std::string& installFolder, const std::string& programPath,
                         const std::string& uninstallerPath, uint64_t installedBytes) {
    const RegistryKey entry = currentUser().create(product::kUninstallKey, KeyAccess::Write);
    entry.setString("DisplayIcon", programPath + ",0");
    entry.setString("DisplayName", product::kName);
    entry.setString("DisplayVersion", product::kVersion);
    entry.setDword("EstimatedSize", static_cast<uint32_t>(installedBytes / 1024));
    entry.setString("InstallLocation", installFolder);
    entry.setDword("NoModify", 1);
    entry.setDword("NoRepair", 1);
    entry.setString("Publisher", product::kPublisher);
    entry.setString("UninstallString", "\"" + uninstallerPath + "\" /uninstall");
    entry.setString("URLInfoAbout", product::kPublisherUrl);
    entry.setString("Version", product::kVersion);
}

}  // namespace

bool Installer::install(Interface& ui, Logger& log) {
    // 1. The shell-link objects need COM on this thread, for as long as the thread lives.
    CoInitialize(nullptr);
    frontEnd = &ui;
    logger = &log;

    // 2. Where everything goes. Without a local application data folder the paths would hang
    //    off the drive root: stop before anything is written.
    const std::string localAppData = shellFolderPath(CSIDL_LOCAL_APPDATA);
    if (localAppData.empty()) {
        ui.showError(text("#installer_install_files_error_message") + systemErrorText(ERROR_PATH_NOT_FOUND),
                     text("#installer_install_files_error_title"));
        return false;
    }
    const std::string installFolder = localAppData + product::kInstallFolderSuffix;
    const std::string programPath = installFolder + product::kProgramFile;

    // 3.-4. Earlier versions: Windows Installer products of both upgrade codes, then an earlier
    //       installation of this program through its own uninstaller, run quietly.
    ui.setStatus(text("#installer_status_uninstalling"));
    if (!removeMsiProducts(product::kUpgradeCodes[0]) || !removeMsiProducts(product::kUpgradeCodes[1]) ||
        !runPreviousUninstaller(product::kName, product::kPreviousUninstallerArguments)) {
        ui.showError(text("#installer_uninstall_error_message"), text("#installer_uninstall_error_title"));
        return false;
    }

    // 5.-6.
    ui.setStatus(text("#installer_status_installing_files"));
    const std::string ownFile = modulePath();
    const uint64_t ownSize = fileSize(ownFile);

    // 7.-8. Unpack. One progress range covers the payload and then the copy of this program.
    HMODULE module = GetModuleHandleW(nullptr);
    PayloadExtractor extractor(module, FindResourceW(module, MAKEINTRESOURCEW(kPayloadResource),
                                                     MAKEINTRESOURCEW(kPayloadResource)));
    if (!extractor.extract(installFolder, &ui, 0, static_cast<uint32_t>(ownSize))) {
        ui.showError(text("#installer_install_files_error_message") + extractor.errorText(),
                     text("#installer_install_files_error_title"));
        return false;
    }

    // 9.-10. This program becomes the uninstaller; an existing one is replaced.
    ui.setStatus(text("#installer_status_installing_uninstaller"));
    const std::string uninstallerPath = installFolder + product::kUninstallerFile;
    progressBase = extractor.payloadSize();
    CopyFileExW(utf8ToWide(ownFile).c_str(), utf8ToWide(uninstallerPath).c_str(), &copyProgress, this,
                nullptr, COPY_FILE_ALLOW_DECRYPTED_DESTINATION);

    // 11. The entry in the list of installed programs.
    writeUninstallEntry(installFolder, programPath, uninstallerPath, extractor.payloadSize() + ownSize);

    // 12.-13. The previous major version's bootstrap key loses its pointers to the old program.
    ui.setStatus("Updating registry...");
    {
        const RegistryKey bootstrap = currentUser().open(product::kBootstrapKey, KeyAccess::Write);
        bootstrap.deleteValue("path");
        bootstrap.deleteValue("revision");
    }

    // 14. Exactly one autostart value for the program, under our own name.
    removeAutostartEntries(programPath);
    currentUser().open(product::kRunKey, KeyAccess::Write).setString(product::kName, programPath);

    // 15.-16.
    ui.setStatus(text("#installer_status_installing_shortcuts"));
    createStartMenuShortcut(programPath, product::kProgramShortcut);
    createStartMenuShortcut(installFolder + product::kChatProgramFile, product::kChatShortcut);

    // 17.-18.
    ui.setStatus(text("#installer_status_launching_application"));
    startProcess("\"" + programPath + "\" " + product::kLaunchArgument);

    // 19. The extractor, and with it the payload resource, goes with this scope.
    return true;
}

}  // namespace swiftsetup
