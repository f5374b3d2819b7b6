#include "platform/file_moves.h"

#include <windows.h>

#include "platform/text_conversion.h"

namespace swiftsetup {

uint32_t moveEntry(const std::string& from, const std::string& to, bool replace) {
    const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
    if (MoveFileExW(utf8ToWide(from).c_str(), utf8ToWide(to).c_str(), flags)) return ERROR_SUCCESS;
    return GetLastError();
}

uint32_t ensureFolder(const std::string& path) {
    if (CreateDirectoryW(utf8ToWide(path).c_str(), nullptr)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS && folderExists(path) ? ERROR_SUCCESS : error;
}

bool entryExists(const std::string& path) {
    return GetFileAttributesW(utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool folderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(utf8ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace swiftsetup
