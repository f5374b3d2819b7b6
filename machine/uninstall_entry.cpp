#include "machine/uninstall_entry.h"

#include "machine/product.h"
#include "platform/registry_key.h"
#include "text/digits.h"

namespace swiftsetup {

void writeUninstallEntry(const std::string& installFolder, uint64_t installedBytes, const Note& note) {
    const std::string programPath = installFolder + product::kProgramFile;
    const RegistryKey entry = currentUser().create(product::kUninstallKey, KeyAccess::Write);
    auto text = [&](const char* name, const std::string& value) {
        note(std::string(entry.setString(name, value) ? "entry value written: " : "entry value not written: ") + name +
             " = " + value);
    };
    auto dword = [&](const char* name, uint32_t value) {
        note(std::string(entry.setDword(name, value) ? "entry value written: " : "entry value not written: ") + name +
             " = " + digitsOf(value));
    };
    note("uninstall entry: " + uninstallEntryName());
    text("DisplayIcon", programPath + ",0");
    text("DisplayName", product::kName);
    text("DisplayVersion", product::kVersion);
    dword("EstimatedSize", static_cast<uint32_t>(installedBytes / 1024));
    text("InstallLocation", installFolder);
    dword("NoModify", 1);
    dword("NoRepair", 1);
    text("Publisher", product::kPublisher);
    text("UninstallString", "\"" + installFolder + product::kUninstallerFile + "\" /uninstall");
    text("URLInfoAbout", product::kPublisherUrl);
    text("Version", product::kVersion);
}

bool uninstallEntryExists() { return currentUser().open(product::kUninstallKey, KeyAccess::Read).isValid(); }

std::string entryInstallLocation() {
    return currentUser().open(product::kUninstallKey, KeyAccess::Read).queryExpandableString("InstallLocation");
}

std::optional<std::string> uninstallCommandOf(const std::string& entryName) {
    const RegistryKey entry = currentUser().open(product::kUninstallKeyParent + entryName, KeyAccess::Read);
    if (!entry.isValid()) return std::nullopt;
    return entry.queryString("UninstallString");
}

bool deleteUninstallEntry() { return currentUser().deleteSubKey(product::kUninstallKey); }

std::string uninstallEntryName() { return std::string("HKEY_CURRENT_USER\\") + product::kUninstallKey; }

}  // namespace swiftsetup
