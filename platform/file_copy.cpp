#include "platform/file_copy.h"

#include <windows.h>

#include <vector>

#include "platform/handles.h"
#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

constexpr DWORD kPieceBytes = 256 * 1024;

DWORD failureCode() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}

}  // namespace

uint32_t copyFileToDisk(const std::string& from, const std::string& to, const CopyProgress& progress) {
    // The source may be a running program (the installer copies itself): shared for reading and
    // deleting, as the system shares a program's file.
    UniqueHandle source(CreateFileW(fileSystemPath(from).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) return GetLastError();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(source.get(), &size)) return failureCode();
    UniqueHandle target(CreateFileW(fileSystemPath(to).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) return GetLastError();

    const uint64_t total = static_cast<uint64_t>(size.QuadPart);
    uint64_t copied = 0;
    if (progress) progress(0, total);
    std::vector<uint8_t> piece(kPieceBytes);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(source.get(), piece.data(), kPieceBytes, &read, nullptr)) return failureCode();
        if (read == 0) break;
        DWORD written = 0;
        if (!WriteFile(target.get(), piece.data(), read, &written, nullptr)) return failureCode();
        if (written != read) return ERROR_DISK_FULL;
        copied += written;
        if (progress) progress(copied, total);
    }
    if (copied != total) return ERROR_DISK_FULL;  // what cuts a copy short that reports success
    if (!FlushFileBuffers(target.get())) return failureCode();
    return CloseHandle(target.release()) ? ERROR_SUCCESS : failureCode();
}

}  // namespace swiftsetup
