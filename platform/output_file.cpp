#include "platform/output_file.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>
#include <utility>
#include <vector>

#include "platform/text_conversion.h"

namespace swiftsetup {
namespace {

DWORD failureCode() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}

DWORD flushAndClose(UniqueHandle file, bool flush) {
    DWORD error = ERROR_SUCCESS;
    if (flush && !FlushFileBuffers(file.get())) error = failureCode();
    if (!CloseHandle(file.release()) && error == ERROR_SUCCESS) error = failureCode();
    return error;
}

}  // namespace

uint32_t createFolderPath(const std::string& folder, std::string& failedAt) {
    // Up from the folder to the nearest one that exists (a file of that name counts, as does a
    // root), noting where each missing level ends; then create them outermost first. A loop
    // rather than recursion, so that a path of thousands of levels cannot exhaust the stack.
    const WideBuffer wide = utf8ToWide(folder);
    std::vector<wchar_t> probe(wide.c_str(), wide.c_str() + wide.size());
    std::vector<size_t> missingLevelEnds;
    while (!PathFileExistsW(probe.data())) {
        const size_t length = std::wcslen(probe.data());
        if (!PathRemoveFileSpecW(probe.data())) break;  // a root: nothing above to create
        missingLevelEnds.push_back(length);
    }
    const DWORD attributes = GetFileAttributesW(probe.data());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        failedAt = wideToUtf8(probe.data(), -1);
        return ERROR_FILE_EXISTS;
    }
    for (auto level = missingLevelEnds.rbegin(); level != missingLevelEnds.rend(); ++level) {
        const std::wstring path(wide.c_str(), *level);
        if (!CreateDirectoryW(path.c_str(), nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS) continue;
            failedAt = wideToUtf8(path.c_str(), -1);
            return error;
        }
    }
    return ERROR_SUCCESS;
}

OutputFile::OutputFile(const std::string& path) {
    const WideBuffer wide = utf8ToWide(path);
    OutputDebugStringW(wide.c_str());
    OutputDebugStringW(L"\r\n");
    file_.reset(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) error_ = GetLastError();
}

uint32_t OutputFile::write(const uint8_t* bytes, size_t length) {
    DWORD written = 0;
    const DWORD count = static_cast<DWORD>(length);
    if (!WriteFile(file_.get(), bytes, count, &written, nullptr)) return GetLastError();
    return written == count ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

uint32_t OutputFile::finish(bool flush) { return flushAndClose(std::move(file_), flush); }

}  // namespace swiftsetup
