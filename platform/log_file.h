#pragma once
// The file a run's log goes to, opened before the run changes anything.

#include <cstdint>
#include <string>

#include "platform/handles.h"

namespace swiftsetup {

class LogFile {
public:
    LogFile() = default;

    // A new file in the user's temporary folder, named after the product and today's date with a
    // number that makes it new ("<product>-2026-12-09-1.log"). It is created so that anything
    // already there under that name, a file or a link that someone planted, makes the creation
    // fail, and then the next number is tried: a run with more rights than the user's is never
    // made to write into some other file.
    [[nodiscard]] static LogFile createNewInTemporaryFolder(const std::string& product, uint32_t& error);

    // The file at path (relative to the current folder, or absolute), replaced when it exists.
    [[nodiscard]] static LogFile replace(const std::string& path, uint32_t& error);

    bool valid() const { return file_.valid(); }
    // The full path, as it was opened; also set when opening failed, for the message.
    const std::string& path() const { return path_; }

    // Appends the bytes with one write, so that a run cut off leaves its log up to the cut. Once
    // a write fails (a full drive), no more are tried: the log never stands in the run's way.
    void append(const std::string& bytes);

private:
    UniqueHandle file_;
    std::string path_;
    bool broken_ = false;
};

// The local time as the log writes it: "2026-12-09 17:45:12.345".
std::string localTimestamp();

}  // namespace swiftsetup
