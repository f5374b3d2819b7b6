// Removal of earlier versions before an install: Windows Installer products registered for the
// user under an upgrade code, and an earlier installation through its own uninstall command.
#include <windows.h>

#include <string>
#include <vector>

#include "install/installer.h"
#include "install/product.h"
#include "platform/registry_key.h"
#include "platform/text_conversion.h"
#include "remove/guid_packing.h"

namespace swiftsetup {
namespace {

constexpr char kUpgradeCodesKey[] = "Software\\Microsoft\\Installer\\UpgradeCodes\\";

// The Windows Installer tool in the system folder; empty when the folder cannot be determined,
// so that nothing of the same name elsewhere on the search path is ever run in its place.
std::string msiexecPath() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return wideToUtf8(folder, static_cast<int32_t>(length)) + "\\msiexec.exe";
}

}  // namespace

bool Installer::removeMsiProducts(const Guid& upgradeCode) {
    const RegistryKey family =
        currentUser().open(kUpgradeCodesKey + packGuid(upgradeCode), KeyAccess::Read);
    if (!family.isValid()) return true;  // nothing of this family was ever installed for the user

    // The whole list first: each removal unregisters its product from this very key.
    const std::vector<std::string> names = family.valueNames();
    bool succeeded = true;
    for (const std::string& name : names) {
        if (name.size() != 32) continue;
        const std::optional<Guid> productCode = unpackGuid(name);
        if (!productCode) continue;

        note("Windows Installer product {" + productCodeText(*productCode) + "} of upgrade code {" +
             productCodeText(upgradeCode) + "}: removing");
        const std::string msiexec = msiexecPath();
        if (msiexec.empty()) {
            note("the system folder, and with it msiexec.exe, cannot be found");
            succeeded = false;
            continue;
        }
        const std::string commandLine =
            "\"" + msiexec + "\" /quiet /qn /x {" + productCodeText(*productCode) + "}";
        uint32_t exitCode = 0;
        // A failure never stops the walk: the other products are still removed.
        if (!runProcess(commandLine, &exitCode) || exitCode != 0) succeeded = false;
    }
    return succeeded;
}

bool Installer::runPreviousUninstaller(const std::string& entryName, const std::string& extraArguments) {
    // The entry stays open while its uninstaller runs; that uninstaller deletes it, which Windows
    // allows.
    const RegistryKey entry = currentUser().open(product::kUninstallKeyParent + entryName, KeyAccess::Read);
    if (!entry.isValid()) return true;
    std::string command = entry.queryString("UninstallString");
    if (command.empty()) {
        note("uninstall entry " + entryName + ": no uninstall command, no earlier installation to remove");
        return true;
    }
    if (!extraArguments.empty()) command += " " + extraArguments;
    // That uninstaller takes the lock this run holds: it is told that it belongs to this run,
    // whatever starts it on our behalf.
    const InstanceLock::HandDown handDown = runLock.handDown();
    uint32_t exitCode = 0;
    if (runProcess(command, &exitCode)) return exitCode == 0;
    // An uninstaller that is not there is no installation to remove: the user deleted the folder
    // by hand, or an earlier uninstall ended after deleting its own copy. Refusing to install
    // over that would lock the user out for good. One that is there but will not start still
    // stops the install.
    const DWORD error = GetLastError();
    const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    if (gone) note("the earlier installation's uninstaller is gone: no earlier installation to remove");
    return gone;
}

}  // namespace swiftsetup
