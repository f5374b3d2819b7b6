#include "platform/file_moves.h"

#include <windows.h>

#include "platform/file_facts.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

uint32_t moveEntry(const std::string& from, const std::string& to, bool replace) {
    const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
    if (MoveFileExW(fileSystemPath(from).c_str(), fileSystemPath(to).c_str(), flags)) return ERROR_SUCCESS;
    return GetLastError();
}

uint32_t ensureFolder(const std::string& path) {
    const uint32_t error = createNewFolder(path);
    return error == ERROR_ALREADY_EXISTS && folderExists(path) ? ERROR_SUCCESS : error;
}

uint32_t createNewFolder(const std::string& path) {
    return CreateDirectoryW(fileSystemPath(path).c_str(), nullptr) ? ERROR_SUCCESS : GetLastError();
}

uint32_t removeEmptyFolder(const std::string& path) {
    return RemoveDirectoryW(fileSystemPath(path).c_str()) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace swiftsetup
