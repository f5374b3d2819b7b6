#include "platform/folder_listing.h"

#include <windows.h>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

static_assert(kAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY && kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);

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

bool isEmptyFolder(const std::string& folder) {
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(utf8ToWide(folder + "\\*").c_str(), &found));
    if (!search) return false;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") return false;
    } while (FindNextFileW(search.get(), &found));
    return true;
}

}  // namespace swiftsetup
