#pragma once
// Small files of the program's own, written and read whole: the markers that prove a work folder
// ours.

#include <cstdint>
#include <optional>
#include <string>

namespace swiftsetup {

// Writes text into a new file (an entry of that name already there fails it), hidden when asked;
// the system's error code, 0 when the file is written and closed.
[[nodiscard]] uint32_t writeNewFile(const std::string& path, const std::string& text, bool hidden);

// The first bytes of a file, at most maxBytes; nothing when it cannot be opened or read. A link
// is not followed.
[[nodiscard]] std::optional<std::string> readFileStart(const std::string& path, uint32_t maxBytes);

// Deletes a file, read-only or hidden as it may be; the system's error code.
uint32_t deleteFile(const std::string& path);

}  // namespace swiftsetup
