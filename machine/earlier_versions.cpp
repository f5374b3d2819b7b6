#include "machine/earlier_versions.h"

#include "machine/product.h"
#include "machine/tree_claim.h"
#include "machine/uninstall_entry.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/registry_key.h"

namespace swiftsetup {
namespace {

constexpr char kUpgradeCodesKey[] = "Software\\Microsoft\\Installer\\UpgradeCodes\\";
constexpr size_t kPackedGuidLength = 32;

}  // namespace

std::vector<Guid> msiProductsOf(const Guid& upgradeCode) {
    std::vector<Guid> products;
    const RegistryKey family = currentUser().open(kUpgradeCodesKey + packGuid(upgradeCode), KeyAccess::Read);
    for (const std::string& name : family.valueNames()) {
        if (name.size() != kPackedGuidLength) continue;
        if (const std::optional<Guid> productCode = unpackGuid(name)) products.push_back(*productCode);
    }
    return products;
}

std::string msiRemovalCommand(const Guid& productCode) {
    const std::string folder = systemFolder();
    if (folder.empty()) return {};
    return "\"" + folder + "\\msiexec.exe\" /quiet /qn /x {" + productCodeText(productCode) + "}";
}

EarlierInstallation EarlierInstallation::look(const std::string& installFolder) {
    EarlierInstallation earlier;
    earlier.registered_ = uninstallEntryExists();
    earlier.files_ = listTreeOnDisk(installFolder).files;
    return earlier;
}

bool EarlierInstallation::stillWhole() const {
    if (registered_ != uninstallEntryExists()) return false;
    for (const std::string& file : files_) {
        if (!entryExists(file)) return false;
    }
    return true;
}

void forgetPreviousMajorVersion(const Note& note) {
    const RegistryKey bootstrap = currentUser().open(product::kBootstrapKey, KeyAccess::Write);
    for (const char* name : {"path", "revision"}) {
        if (bootstrap.deleteValue(name)) note(std::string("bootstrap value deleted: ") + name);
    }
}

}  // namespace swiftsetup
