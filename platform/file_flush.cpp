#include "platform/file_flush.h"

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

}  // namespace swiftsetup
