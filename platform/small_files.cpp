#include "platform/small_files.h"

#include <windows.h>

#include <vector>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {

uint32_t writeNewFile(const std::string& path, const std::string& text, bool hidden) {
    UniqueHandle file(CreateFileW(fileSystemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) return GetLastError();
    if (written != text.size()) return ERROR_DISK_FULL;
    return CloseHandle(file.release()) ? ERROR_SUCCESS : GetLastError();
}

std::optional<std::string> readFileStart(const std::string& path, uint32_t maxBytes) {
    UniqueHandle file(CreateFileW(fileSystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return std::nullopt;
    std::vector<char> text(maxBytes);
    DWORD read = 0;
    if (!ReadFile(file.get(), text.data(), maxBytes, &read, nullptr)) return std::nullopt;
    return std::string(text.data(), read);
}

uint32_t deleteFile(const std::string& path) {
    const WideBuffer wide = fileSystemPath(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(wide.c_str()) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace swiftsetup
