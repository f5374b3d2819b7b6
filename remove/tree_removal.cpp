// Deleting a folder tree: list everything first, then delete files and folders deepest first,
// moving the front end's progress once per entry. What cannot be deleted stays, and is told.
#include <windows.h>

#include "install/installer.h"
#include "platform/handles.h"
#include "platform/text_conversion.h"
#include "remove/tree_listing.h"
#include "ui/interface.h"

namespace swiftsetup {
namespace {

std::vector<DirectoryEntry> listFolder(const std::string& folder) {
    std::vector<DirectoryEntry> entries;
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(utf8ToWide(folder + "\\*.*").c_str(), &found));
    if (!search) return entries;
    do {
        entries.push_back({wideToUtf8(found.cFileName, -1), found.dwFileAttributes});
    } while (FindNextFileW(search.get(), &found));
    return entries;
}

// A read-only entry refuses deletion; hidden and system ones are made ordinary as well, so that
// nothing the payload marked survives. Every other attribute is kept, and an entry whose
// attributes cannot be read is left as it is.
void clearProtectingAttributes(const wchar_t* path) {
    constexpr DWORD kProtecting = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kProtecting) == 0) return;
    SetFileAttributesW(path, attributes & ~kProtecting);
}

bool isLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

std::vector<RemovalFailure> Installer::removeTree(const std::string& rootFolder, uint32_t first, uint32_t last,
                                                  uint32_t total) {
    // Listing phase: nothing is deleted until the whole tree is known.
    const TreeListing listing = listTree(rootFolder, isLink(rootFolder), &listFolder);

    // Deletion phase: one progress step per attempt, successful or not. A link to a folder is in
    // the folder list, and RemoveDirectoryW removes the link itself, never its target.
    // What is already gone by the time it is deleted is no failure.
    EvenProgress progress(first, last, listing.entryCount());
    std::vector<RemovalFailure> failures;
    auto report = [&](bool deleted, const std::string& entry) {
        const DWORD error = deleted ? ERROR_SUCCESS : GetLastError();
        if (!deleted && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            failures.push_back({entry, error});
        }
        const uint32_t position = progress.advance();
        if (frontEnd != nullptr) frontEnd->setProgress(position, total);
    };
    for (const std::string& file : listing.files) {
        const WideBuffer path = utf8ToWide(file);
        clearProtectingAttributes(path.c_str());
        report(DeleteFileW(path.c_str()), file);
    }
    for (const std::string& folder : listing.folders) {
        const WideBuffer path = utf8ToWide(folder);
        clearProtectingAttributes(path.c_str());
        report(RemoveDirectoryW(path.c_str()), folder);
    }
    return failures;
}

}  // namespace swiftsetup
