#include "platform/log_file.h"

#include <windows.h>

#include <vector>

#include "platform/text_conversion.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

constexpr int kNumbersTried = 1000;
// Readers (an administrator's editor, a deployment tool collecting it) may look while it grows.
constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_DELETE;

std::string fullPath(const std::string& path) {
    const WideBuffer wide = utf8ToWide(path);
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0) return path;
        if (length < buffer.size()) return wideToUtf8(buffer.data(), static_cast<int32_t>(length));
        buffer.resize(length + 1);
    }
    return path;
}

std::string temporaryFolder() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return {};
    return wideToUtf8(folder, static_cast<int32_t>(length));  // ends in a backslash
}

std::string today() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return digitsOf(now.wYear, 10, 4) + "-" + digitsOf(now.wMonth, 10, 2) + "-" + digitsOf(now.wDay, 10, 2);
}

}  // namespace

LogFile LogFile::createNewInTemporaryFolder(const std::string& product, uint32_t& error) {
    LogFile log;
    const std::string folder = temporaryFolder();
    if (folder.empty()) {
        error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_PATH_NOT_FOUND;
        log.path_ = "%TEMP%";
        return log;
    }
    const std::string stem = folder + product + "-" + today() + "-";
    for (int number = 1; number <= kNumbersTried; ++number) {
        log.path_ = stem + digitsOf(number) + ".log";
        // CREATE_NEW fails for any entry of that name, a link included, whether or not it leads
        // anywhere.
        log.file_.reset(CreateFileW(utf8ToWide(log.path_).c_str(), GENERIC_WRITE, kSharing, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (log.file_) return log;
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return log;
    }
    return log;
}

LogFile LogFile::replace(const std::string& path, uint32_t& error) {
    LogFile log;
    log.path_ = fullPath(path);
    log.file_.reset(CreateFileW(utf8ToWide(log.path_).c_str(), GENERIC_WRITE, kSharing, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.file_) error = GetLastError();
    return log;
}

void LogFile::append(const std::string& bytes) {
    if (!file_ || broken_) return;
    DWORD written = 0;
    if (!WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        broken_ = true;
    }
}

}  // namespace swiftsetup
