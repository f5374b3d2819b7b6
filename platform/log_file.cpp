#include "platform/log_file.h"

#include <windows.h>

#include "platform/paths.h"
#include "platform/text_conversion.h"
#include "text/digits.h"

namespace swiftsetup {
namespace {

constexpr int kNumbersTried = 1000;
// Readers (an administrator's editor, a deployment tool collecting it) may look while it grows.
constexpr DWORD kSharing = FILE_SHARE_READ | FILE_SHARE_DELETE;

}  // namespace

LogFile LogFile::createNewInTemporaryFolder(const std::string& product, uint32_t& error) {
    LogFile log;
    const std::string folder = temporaryFolder();
    if (folder.empty()) {
        error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_PATH_NOT_FOUND;
        log.path_ = "%TEMP%";
        return log;
    }
    const std::string stem = folder + product + "-" + localTimestamp().substr(0, 10) + "-";
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
    const std::string full = fullPathName(path);
    log.path_ = full.empty() ? path : full;
    log.file_.reset(CreateFileW(utf8ToWide(log.path_).c_str(), GENERIC_WRITE, kSharing, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log.file_) error = GetLastError();
    return log;
}

std::string localTimestamp() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return digitsOf(now.wYear, 10, 4) + "-" + digitsOf(now.wMonth, 10, 2) + "-" + digitsOf(now.wDay, 10, 2) + " " +
           digitsOf(now.wHour, 10, 2) + ":" + digitsOf(now.wMinute, 10, 2) + ":" + digitsOf(now.wSecond, 10, 2) + "." +
           digitsOf(now.wMilliseconds, 10, 3);
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
