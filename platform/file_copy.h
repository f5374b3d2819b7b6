#pragma once
// Copying a file whole onto the disk, with its progress told as it goes.

#include <cstdint>
#include <functional>
#include <string>

namespace swiftsetup {

// Bytes copied so far out of the file's size.
using CopyProgress = std::function<void(uint64_t copied, uint64_t total)>;

// Copies from to a new or replaced file to, calling progress (when given) after every piece, and
// flushes it to the disk through the handle that wrote it before closing it, so that no other
// program (a virus scanner looking at a fresh program) stands between the writing and the flush.
// A copy that comes out shorter than the file it copies (a drive filled up meanwhile) is a full
// disk. The system's error code, 0 when the whole file is on the disk and closed.
[[nodiscard]] uint32_t copyFileToDisk(const std::string& from, const std::string& to, const CopyProgress& progress);

}  // namespace swiftsetup
