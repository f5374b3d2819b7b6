#include "ui/file_logger.h"


namespace swiftsetup {

void FileLogger::log(int32_t level, const std::string& text) {
    std::string line = localTimestamp() + (level == kLogCommandLine ? " starting: " : " ");
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
