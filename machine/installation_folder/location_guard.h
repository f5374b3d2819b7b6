#pragma once
// Deciding whether the folder an uninstall entry names may be deleted as a whole. The entry is
// data anyone can write, and a folder tree deleted on its say-so can be a user's whole profile,
// so the folder must be one this program made. Portable: the facts about the machine (known
// folders, resolved paths, which files exist) are gathered by the caller.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace swiftsetup {

// The path in the one form the guard compares: absolute ("X:\..." or "\\server\share\..."),
// backslashes only, no empty, "." or ".." parts, no trailing separator ("X:\" for a root).
// "\\?\" long-path forms are unwrapped. Nothing for a relative or drive-relative path, a device
// path, or a part that Windows would read differently from the way it is written (trailing
// dots or blanks, stream or wildcard characters, controls). Letter case is kept.
[[nodiscard]] std::optional<std::string> canonicalFolderPath(std::string_view path);

// True for "X:\" and "\\server\share" (canonical forms).
bool isVolumeRoot(std::string_view canonical);

// True when the canonical path is the folder itself or lies anywhere below it. Both paths must
// be in the same letter case.
bool isSameOrBelow(std::string_view path, std::string_view folder);

enum class LocationVerdict {
    Removable,           // the folder the install uses, or one that holds this installer's uninstaller
    NotAbsolute,         // not a path that names one folder on its own
    Network,             // on a share, and not the folder the install uses: links there cannot be seen through
    Unresolvable,        // it exists, but where its links lead cannot be told
    Missing,             // names no folder at all
    VolumeRoot,          // a whole drive or share
    ProtectedFolder,     // is, or holds, a folder of the user or the system
    NotAnInstallation,   // neither our folder nor one with our uninstaller in it
};

// What the caller knows about the folder. Every path canonical and in one letter case (the
// caller folds them as the file system does).
struct LocationFacts {
    std::string location;                    // the folder as named, in its long form
    std::vector<std::string> resolvedForms;  // where it really is (links followed)
    std::vector<std::string> protectedFolders;
    std::string ownInstallFolder;            // where the install puts it, resolved; empty if unknown
    std::string ownInstallFolderAsNamed;     // the same, its links not followed (all a share shows)
    bool onNetwork = false;                  // a share, or a drive that leads to one
    bool unresolvable = false;               // it exists, but following its links failed
    // Its "uninstall.exe" proves to be this installer: its version resource names our product
    // and publisher, and it carries a payload. A file's name, size or date proves nothing, and
    // neither does a copy of the application's program.
    bool holdsOurUninstaller = false;
};

[[nodiscard]] LocationVerdict judgeInstallLocation(const LocationFacts& facts);

}  // namespace swiftsetup
