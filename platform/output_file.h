#pragma once
// Files the program writes out: created with the folders above them, written block by block,
// and finished, which is what it takes for a file to be on the disk and closed.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/handles.h"

namespace swiftsetup {

// Creates the folder and every missing folder above it, outermost first. The system's error code,
// 0 when the folder is there; failedAt receives the folder that could not be made. A file where a
// folder of the path must be is error::kFileExists, named: no folder can be made there, and the
// file is not ours to replace.
[[nodiscard]] uint32_t createFolderPath(const std::string& folder, std::string& failedAt);

class OutputFile {
public:
    OutputFile() = default;
    // A new file at path, replacing one of that name, held without sharing until it is finished.
    // Its path goes to the debugger's output. valid() tells whether it was made, error() why not.
    explicit OutputFile(const std::string& path);

    [[nodiscard]] bool valid() const { return file_.valid(); }
    [[nodiscard]] uint32_t error() const { return error_; }

    // Appends the bytes with one write. A write that the system calls a success but that wrote
    // less is a full disk: some systems set no error code for it, and "Success." would be the
    // user's whole explanation. The system's error code, 0 when all of it was written.
    [[nodiscard]] uint32_t write(const uint8_t* bytes, size_t length);

    // Flushes the file to the disk (when asked: it returns once the system and the drive hold
    // nothing of it unwritten) and closes it. The first error of the two, 0 when both worked; a
    // call that fails without saying why counts as a write fault.
    [[nodiscard]] uint32_t finish(bool flush);

private:
    UniqueHandle file_;
    uint32_t error_ = 0;
};

}  // namespace swiftsetup
