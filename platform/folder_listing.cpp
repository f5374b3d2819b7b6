#include "platform/folder_listing.h"

#include <windows.h>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

static_assert(kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY && kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);

FolderListing listFolder(const std::string& folder) {
    FolderListing listing;
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(fileSystemPath(folder + "\\*").c_str(), &found));
    if (!search) {
        listing.error = GetLastError();
        return listing;
    }
    do {
        // The reparse point's tag is in dwReserved0 when the entry is one.
        const uint32_t tag = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? found.dwReserved0 : 0;
        listing.entries.push_back({wideToUtf8(found.cFileName, -1), found.dwFileAttributes, tag});
    } while (FindNextFileW(search.get(), &found));
    // A listing cut short is no listing: what it did not name would look like nothing.
    const DWORD end = GetLastError();
    if (end != ERROR_NO_MORE_FILES) listing.error = end != ERROR_SUCCESS ? end : ERROR_READ_FAULT;
    return listing;
}

bool isEmptyFolder(const std::string& folder) {
    const FolderListing listing = listFolder(folder);
    if (listing.error != ERROR_SUCCESS) return false;
    for (const DirectoryEntry& entry : listing.entries) {
        if (entry.name != "." && entry.name != "..") return false;
    }
    return true;
}

}  // namespace swiftsetup
