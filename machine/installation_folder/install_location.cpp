#include "machine/installation_folder/install_location.h"

#include <vector>

#include "machine/installation_folder/version_resource.h"
#include "machine/product.h"
#include "payload/chunk_format.h"
#include "platform/file_facts.h"
#include "platform/paths.h"
#include "platform/resources.h"

namespace swiftsetup {
namespace {

constexpr int kPayloadResource = 256;  // both its type and its name

// Canonical and folded, or empty when the path is not one the guard can reason about.
std::string comparable(const std::string& path) {
    const std::optional<std::string> canonical = canonicalFolderPath(path);
    return canonical ? foldPathCase(*canonical) : std::string();
}

// Where an existing folder really is, canonical; empty when unknown.
std::string resolved(const std::string& folder) { return canonicalFolderPath(finalPathName(folder)).value_or(std::string()); }

// Each folder of the user and the system both as the system names it and where it really is.
std::vector<std::string> protectedFolders() {
    std::vector<std::string> folders;
    for (const std::string& path : userAndSystemFolders()) {
        const std::string folder = comparable(path);
        if (folder.empty()) continue;
        folders.push_back(folder);
        std::string real = comparable(resolved(folder));
        if (!real.empty() && real != folder) folders.push_back(std::move(real));
    }
    return folders;
}

// "X:\..." or a share, with or without the "\\?\" prefix: a path that names a folder by itself,
// not one relative to a current folder.
bool isAbsoluteSpelling(const std::string& path) {
    const bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool share = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
    return drive || share;
}

// The folder's "uninstall.exe" is this installer: its version resource names our product and
// publisher, and it carries a payload that begins with a version chunk, as only this installer
// does. It is read as data, never run.
bool holdsOurUninstaller(const std::string& folder) {
    const std::string path = folder + product::kUninstallerFile;
    if (!entryExists(path) || folderExists(path)) return false;
    const ProgramFileResources program(path);
    if (!program.valid()) return false;
    const std::string_view payload = program.bytes(kPayloadResource, kPayloadResource);
    if (payload.size() < kChunkHeaderSize || static_cast<uint8_t>(payload[0]) != static_cast<uint8_t>(ChunkKind::Version)) {
        return false;
    }
    const std::string_view version = program.bytes(kVersionResourceType, kVersionResourceName);
    const auto* bytes = reinterpret_cast<const uint8_t*>(version.data());
    return versionString(bytes, version.size(), "ProductName") == product::kName &&
           versionString(bytes, version.size(), "CompanyName") == product::kPublisher;
}

}  // namespace

std::string ownInstallFolder() {
    const std::string localAppData = localAppDataFolder();
    return localAppData.empty() ? std::string() : localAppData + product::kInstallFolderSuffix;
}

LocationVerdict checkInstallLocation(const std::string& location, std::string& folder) {
    if (!isAbsoluteSpelling(location)) return LocationVerdict::NotAbsolute;
    const std::optional<std::string> canonical = canonicalFolderPath(fullPathName(location));
    if (!canonical) return LocationVerdict::NotAbsolute;

    LocationFacts facts;
    facts.onNetwork = isOnRemoteDrive(*canonical);
    if (!facts.onNetwork) {
        if (!entryExists(*canonical)) return LocationVerdict::Missing;
        if (!folderExists(*canonical)) return LocationVerdict::NotAnInstallation;
    }
    const std::string longForm = canonicalFolderPath(longPathName(*canonical)).value_or(*canonical);
    facts.location = foldPathCase(longForm);
    if (!facts.onNetwork) {
        const std::string real = resolved(longForm);
        facts.unresolvable = real.empty();
        if (!real.empty()) {
            facts.resolvedForms.push_back(foldPathCase(real));
            facts.onNetwork = isOnRemoteDrive(real);  // a link that leads to a share
        }
    }
    facts.protectedFolders = protectedFolders();
    const std::string own = ownInstallFolder();
    if (!own.empty()) {
        const std::string ownResolved = resolved(own);
        facts.ownInstallFolder = comparable(ownResolved.empty() ? own : ownResolved);
        facts.ownInstallFolderAsNamed = foldPathCase(canonicalFolderPath(longPathName(fullPathName(own))).value_or(own));
    }
    facts.holdsOurUninstaller = holdsOurUninstaller(longForm);

    const LocationVerdict verdict = judgeInstallLocation(facts);
    if (verdict == LocationVerdict::Removable) folder = longForm;
    return verdict;
}

std::string installationToRemove(const std::string& installLocation) {
    const std::string own = ownInstallFolder();
    std::string folder;
    if (!installLocation.empty() && checkInstallLocation(installLocation, folder) == LocationVerdict::Removable) {
        // Running programs and autostart values were given the install's own spelling.
        return !own.empty() && isSameFile(folder, own) ? own : folder;
    }
    // The entry names no folder of ours: ours is where the install puts it, if anywhere.
    if (!own.empty() && checkInstallLocation(own, folder) == LocationVerdict::Removable) return own;
    return {};
}

}  // namespace swiftsetup
