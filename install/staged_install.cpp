#include "install/staged_install.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

#include "install/installer.h"
#include "install/product.h"
#include "payload/payload_extractor.h"
#include "platform/file_flush.h"
#include "platform/file_moves.h"
#include "platform/paths.h"
#include "platform/text_conversion.h"
#include "remove/tree_claim.h"
#include "text/digits.h"
#include "text/translate.h"
#include "ui/copy_progress.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

constexpr DWORD kRetryMs = 100;

// What another program holding an entry answers; anything else will not change by waiting.
bool isHeld(uint32_t error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

// Tries an operation until it works, fails for another reason than a hold, or the deadline passes.
uint32_t untilNotHeld(uint64_t deadline, const std::function<uint32_t()>& attempt) {
    for (;;) {
        const uint32_t error = attempt();
        if (error == ERROR_SUCCESS || !isHeld(error)) return error;
        const uint64_t now = GetTickCount64();
        if (now >= deadline) return error;
        Sleep(static_cast<DWORD>(std::min<uint64_t>(kRetryMs, deadline - now)));
    }
}

// This program becomes the uninstaller. A copy cut short (a drive filled up meanwhile) would be a
// program that cannot start: it counts as a failed write, and it is not flushed.
std::optional<Failure> copyUninstaller(Installer& installer, const std::string& ownFile, uint64_t ownSize,
                                       const std::string& uninstallerPath) {
    uint32_t error = ERROR_SUCCESS;
    if (!CopyFileExW(utf8ToWide(ownFile).c_str(), utf8ToWide(uninstallerPath).c_str(), &copyProgress, &installer,
                     nullptr, COPY_FILE_ALLOW_DECRYPTED_DESTINATION)) {
        error = GetLastError();
    } else if (fileSize(uninstallerPath) != ownSize) {
        error = ERROR_DISK_FULL;  // what cuts a copy short that reports success
    } else {
        error = flushToDisk(uninstallerPath);
    }
    if (error != ERROR_SUCCESS) return Failure{Step::UninstallerCopy, error, uninstallerPath};
    installer.note("uninstaller copied and flushed: " + uninstallerPath + ", " + digitsOf(ownSize) + " bytes");
    return std::nullopt;
}

std::string relativeTo(const std::string& root, const std::string& path) { return path.substr(root.size()); }

// Moves an entry that stands in the way into the aside folder, to be deleted with it.
bool moveAside(AsideFolder& aside, const std::string& entry) {
    const std::string to = aside.nextName();
    return !to.empty() && moveEntry(entry, to, false) == ERROR_SUCCESS;
}

// Moves every staged entry into installFolder, replacing an entry of the same name; what stands
// in the way is moved aside first. The staging folder's own marker stays behind.
std::optional<Failure> mergeInto(const std::string& staged, const std::string& installFolder, AsideFolder& aside,
                                 std::set<std::string>& placed) {
    const TreeListing listing = listTreeOnDisk(staged);
    const uint64_t deadline = GetTickCount64() + kHoldWaitMs;
    // Folders outermost first, so that each file finds its folder.
    for (auto folder = listing.folders.rbegin(); folder != listing.folders.rend(); ++folder) {
        const std::string target = installFolder + relativeTo(staged, *folder);
        // A link of that name leads somewhere else: files moved in there would land, and replace,
        // wherever it points. It goes aside (the link alone), as does a file of that name.
        const DWORD attributes = GetFileAttributesW(utf8ToWide(target).c_str());
        const bool isLink = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (target != installFolder && isLink) {
            moveAside(aside, target);
        } else if (folderExists(target)) {
            continue;
        }
        uint32_t error = ensureFolder(target);
        if (error != ERROR_SUCCESS && moveAside(aside, target)) error = ensureFolder(target);
        if (error != ERROR_SUCCESS) return Failure{Step::Switch, error, target};
    }
    for (const std::string& file : listing.files) {
        const std::string name = relativeTo(staged, file);
        if (name == kWorkFolderMarker) continue;
        const std::string target = installFolder + name;
        const uint32_t error = untilNotHeld(deadline, [&] {
            const uint32_t moved = moveEntry(file, target, true);
            // A running program or a folder of that name cannot be replaced, but can be moved.
            if (moved != ERROR_SUCCESS && entryExists(target) && moveAside(aside, target)) return moveEntry(file, target, true);
            return moved;
        });
        if (error != ERROR_SUCCESS) return Failure{Step::Switch, error, target};
        placed.insert(name);
    }
    return std::nullopt;
}

}  // namespace

std::optional<Failure> stageNewVersion(Installer& installer, PayloadExtractor& payload, const std::string& staging,
                                       const std::string& ownFile, uint64_t ownSize) {
    const uint64_t start = GetTickCount64();
    if (!payload.extract(staging, installer.frontEnd, 0, static_cast<uint32_t>(ownSize))) return payload.failure();
    installer.note("unpacked: " + digitsOf(payload.filesWritten()) + " files, " + digitsOf(payload.bytesWritten()) +
                   " bytes, every one flushed to the disk and closed, in " + digitsOf(GetTickCount64() - start) + " ms");
    installer.frontEnd->setStatus(translate("#installer_status_installing_uninstaller"));
    installer.progressBase = payload.payloadSize();
    return copyUninstaller(installer, ownFile, ownSize, staging + product::kUninstallerFile);
}

std::optional<Failure> moveIntoPlace(Installer& installer, WorkFolder& staging, const std::string& installFolder,
                                     bool remainsAreOld) {
    // Proved complete when it was made; a staging folder that is gone since is no version at all.
    if (!folderExists(staging.path())) return Failure{Step::Switch, ERROR_PATH_NOT_FOUND, staging.path()};
    const uint64_t deadline = GetTickCount64() + kHoldWaitMs;
    AsideFolder aside(installFolder);
    // The remains out of the way, in one step; the marker they get on the way proves them ours
    // to the next run, should this one be cut off.
    if (remainsAreOld && folderExists(installFolder)) {
        WorkFolder& remains = aside.folder();
        remains = WorkFolder::reserveFor(installFolder);
        const uint32_t error =
            remains.valid() ? untilNotHeld(deadline, [&] { return moveEntry(installFolder, remains.path(), false); }) : 0;
        if (error != ERROR_SUCCESS) {
            installer.note("the earlier installation's folder cannot be moved aside: system error " + digitsOf(error));
            remains.abandon(installFolder);
        }
    }
    // The switch: one rename.
    if (!folderExists(installFolder)) {
        const uint32_t error = untilNotHeld(deadline, [&] { return moveEntry(staging.path(), installFolder, false); });
        if (error == ERROR_SUCCESS) {
            staging.becomes(installFolder);
            installer.note("moved into place: " + installFolder);
            const bool removed = aside.folder().remove();  // what stays is removed by a later run
            if (!removed) installer.note("left for a later run: " + aside.folder().path());
            return std::nullopt;
        }
        installer.note("the staging folder cannot be renamed: system error " + digitsOf(error));
    }
    // Entry by entry.
    std::set<std::string> placed;
    if (const std::optional<Failure> failure = mergeInto(staging.path(), installFolder, aside, placed)) return failure;
    installer.note("moved into place entry by entry: " + digitsOf(placed.size()) + " files");
    staging.remove();
    if (remainsAreOld) {
        // What the earlier uninstaller left and the new version does not have.
        for (const std::string& file : listTreeOnDisk(installFolder).files) {
            if (placed.count(relativeTo(installFolder, file)) == 0) moveAside(aside, file);
        }
    }
    aside.folder().remove();
    return std::nullopt;
}

}  // namespace swiftsetup
