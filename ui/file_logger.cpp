#include "ui/file_logger.h"

#include <windows.h>

#include "text/digits.h"

namespace swiftsetup {

void FileLogger::log(int32_t level, const std::string& text) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::string line = digitsOf(now.wYear, 10, 4) + "-" + digitsOf(now.wMonth, 10, 2) + "-" + digitsOf(now.wDay, 10, 2) +
                       " " + digitsOf(now.wHour, 10, 2) + ":" + digitsOf(now.wMinute, 10, 2) + ":" +
                       digitsOf(now.wSecond, 10, 2) + "." + digitsOf(now.wMilliseconds, 10, 3) +
                       (level == kLogCommandLine ? " starting: " : " ");
    for (const char c : text) {
        if (c == '\r') {
            line += "\\r";
        } else if (c == '\n') {
            line += "\\n";
        } else {
            line += c;
        }
    }
    file_.append(line + "\r\n");
}

}  // namespace swiftsetup
