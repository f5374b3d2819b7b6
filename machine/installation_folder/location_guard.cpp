#include "machine/installation_folder/location_guard.h"

namespace swiftsetup {
namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A name part as Windows takes it literally. Trailing dots and blanks are dropped by the Win32
// layer, so "Users." would name "Users"; ':' would open a data stream; wildcards and controls
// are never part of a real name.
bool isPlainPart(std::string_view part) {
    if (part.empty()) return false;
    if (part.back() == '.' || part.back() == ' ') return false;
    for (const char c : part) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) return false;
        switch (c) {
            case ':': case '*': case '?': case '"': case '<': case '>': case '|': return false;
            default: break;
        }
    }
    return true;
}

}  // namespace

std::optional<std::string> canonicalFolderPath(std::string_view path) {
    std::string text(path);
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    std::string_view rest = text;

    // "\\?\X:\..." and "\\?\UNC\server\share\..." name the same folders as their plain forms.
    bool unc = false;
    if (rest.substr(0, 4) == "\\\\?\\") {
        rest.remove_prefix(4);
        if (rest.size() >= 4 && (rest.substr(0, 4) == "UNC\\" || rest.substr(0, 4) == "unc\\")) {
            rest.remove_prefix(4);
            unc = true;
        }
    } else if (rest.substr(0, 2) == "\\\\") {
        if (rest.size() >= 3 && (rest[2] == '.' || rest[2] == '?')) return std::nullopt;  // devices
        rest.remove_prefix(2);
        unc = true;
    }

    std::string root;
    if (unc) {
        // Server and share form the root and must both be there.
        const size_t serverEnd = rest.find('\\');
        if (serverEnd == std::string_view::npos || serverEnd == 0) return std::nullopt;
        const std::string_view server = rest.substr(0, serverEnd);
        rest.remove_prefix(serverEnd + 1);
        const size_t shareEnd = rest.find('\\');
        const std::string_view share = rest.substr(0, shareEnd);
        if (!isPlainPart(server) || !isPlainPart(share) || server == "." || server == ".." ||
            share == "." || share == "..") {
            return std::nullopt;
        }
        rest.remove_prefix(shareEnd == std::string_view::npos ? rest.size() : shareEnd);
        root = "\\\\" + std::string(server) + "\\" + std::string(share);
    } else {
        // "X:\" only: "X:name" and "\name" depend on the current folder of the moment.
        if (rest.size() < 3 || !isAsciiLetter(rest[0]) || rest[1] != ':' || rest[2] != '\\') {
            return std::nullopt;
        }
        root = std::string(rest.substr(0, 2));
        rest.remove_prefix(2);
    }

    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        const size_t next = rest.find('\\');
        const std::string_view part = rest.substr(0, next);
        rest.remove_prefix(next == std::string_view::npos ? rest.size() : next + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();  // above the root stays at the root
            continue;
        }
        if (!isPlainPart(part)) return std::nullopt;
        parts.push_back(part);
    }

    std::string canonical = root;
    for (const std::string_view part : parts) {
        canonical += '\\';
        canonical += part;
    }
    if (!unc && parts.empty()) canonical += '\\';
    return canonical;
}

bool isVolumeRoot(std::string_view canonical) {
    if (canonical.size() == 3 && canonical[1] == ':' && canonical[2] == '\\') return true;
    if (canonical.substr(0, 2) == "\\\\") {
        // "\\server\share" has exactly one separator after the leading pair.
        return canonical.find('\\', 2) == canonical.rfind('\\');
    }
    return false;
}

bool isSameOrBelow(std::string_view path, std::string_view folder) {
    if (path.size() < folder.size() || path.substr(0, folder.size()) != folder) return false;
    if (path.size() == folder.size()) return true;
    // A root already ends in its separator ("C:\"); any other folder needs one to follow.
    return folder.back() == '\\' || path[folder.size()] == '\\';
}

LocationVerdict judgeInstallLocation(const LocationFacts& facts) {
    if (facts.location.empty()) return LocationVerdict::NotAbsolute;
    // The folder the install uses stays its own where the user's local application data lies on
    // a share: the install works there, so its upgrades and its uninstall must too. Every other
    // folder on a share is refused, for where its links lead cannot be seen.
    if (facts.onNetwork) {
        const bool own = !facts.ownInstallFolderAsNamed.empty() && facts.location == facts.ownInstallFolderAsNamed;
        return own ? LocationVerdict::Removable : LocationVerdict::Network;
    }
    if (facts.unresolvable) return LocationVerdict::Unresolvable;
    std::vector<std::string_view> forms{facts.location};
    for (const std::string& resolved : facts.resolvedForms) {
        if (!resolved.empty()) forms.push_back(resolved);
    }
    for (const std::string_view form : forms) {
        if (isVolumeRoot(form)) return LocationVerdict::VolumeRoot;
    }
    for (const std::string_view form : forms) {
        for (const std::string& folder : facts.protectedFolders) {
            if (!folder.empty() && isSameOrBelow(folder, form)) return LocationVerdict::ProtectedFolder;
        }
    }
    for (const std::string_view form : forms) {
        if (!facts.ownInstallFolder.empty() && form == facts.ownInstallFolder) return LocationVerdict::Removable;
    }
    return facts.holdsOurUninstaller ? LocationVerdict::Removable : LocationVerdict::NotAnInstallation;
}

}  // namespace swiftsetup
