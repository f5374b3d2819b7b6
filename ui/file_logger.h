#pragma once
// The logger of a run given "/log": every line, with its time, appended to the log file at once
// (UTF-8), so that a run cut off half way leaves its story up to the cut. A file that can no
// longer be written (a full drive) costs the run nothing: the lines after it are lost.
#include <utility>

#include "platform/log_file.h"
#include "install/interface.h"

namespace swiftsetup {

class FileLogger final : public Logger {
public:
    explicit FileLogger(LogFile file) : file_(std::move(file)) {}
    // One line: "2026-12-09 17:45:12.345 text". Line breaks inside the text are written as "\r"
    // and "\n", so that every event keeps to one line and the text can still be read exactly.
    void log(int32_t level, const std::string& text) override;

private:
    LogFile file_;
};

}  // namespace swiftsetup
