#include "platform/file_flush.h"

#include <utility>

#include "platform/text_conversion.h"

namespace swiftsetup {

namespace {
DWORD failureCode() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}
}  // namespace

DWORD flushAndClose(UniqueHandle file, bool flush) {
    DWORD error = ERROR_SUCCESS;
    if (flush && !FlushFileBuffers(file.get())) error = failureCode();
    if (!CloseHandle(file.release()) && error == ERROR_SUCCESS) error = failureCode();
    return error;
}

DWORD flushToDisk(const std::string& path) {
    // Flushing needs write access; sharing everything keeps out of the way of a virus scanner
    // that is reading the fresh file.
    UniqueHandle file(CreateFileW(utf8ToWide(path).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    return flushAndClose(std::move(file), true);
}

}  // namespace swiftsetup
