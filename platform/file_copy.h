#pragma once
// Copying a file whole, with its progress told as it goes.

#include <cstdint>
#include <functional>
#include <string>

namespace swiftsetup {

// Bytes copied so far out of the file's size.
using CopyProgress = std::function<void(uint64_t copied, uint64_t total)>;

// Copies from to a new or replaced file to, calling progress (when given) as the system reports
// it; the copy is never cancelled. The system's error code, 0 when the copy worked.
[[nodiscard]] uint32_t copyFile(const std::string& from, const std::string& to, const CopyProgress& progress);

}  // namespace swiftsetup
