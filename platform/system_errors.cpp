#include "platform/system_errors.h"

#include <windows.h>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup::error {

static_assert(kSuccess == ERROR_SUCCESS && kFileNotFound == ERROR_FILE_NOT_FOUND && kPathNotFound == ERROR_PATH_NOT_FOUND &&
              kAccessDenied == ERROR_ACCESS_DENIED && kWriteFault == ERROR_WRITE_FAULT &&
              kSharingViolation == ERROR_SHARING_VIOLATION && kLockViolation == ERROR_LOCK_VIOLATION &&
              kFileExists == ERROR_FILE_EXISTS && kDiskFull == ERROR_DISK_FULL && kAlreadyExists == ERROR_ALREADY_EXISTS);

bool isHeld(uint32_t code) { return code == kSharingViolation || code == kAccessDenied || code == kLockViolation; }

bool isGone(uint32_t code) { return code == kFileNotFound || code == kPathNotFound; }

}  // namespace swiftsetup::error

namespace swiftsetup {

std::string systemErrorText(uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer),
        0, nullptr);
    if (length == 0) return std::string();
    LocalMemory owner(buffer);
    return wideToUtf8(buffer, static_cast<int32_t>(length));
}

std::string systemErrorTextAt(uint32_t code, const std::string& path) {
    std::string text = systemErrorText(code);
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    return text + path;
}

}  // namespace swiftsetup
