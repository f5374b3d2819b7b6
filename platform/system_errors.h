#pragma once
// The system's error codes that the program's decisions name, as plain numbers, so that code above
// the platform layer can name them without the system's headers (system_errors.cpp checks each
// against the system's own definition); and what they mean to a program that waits for a file.

#include <cstdint>
#include <string>

namespace swiftsetup::error {

inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kPathNotFound = 3;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kWriteFault = 29;
inline constexpr uint32_t kSharingViolation = 32;
inline constexpr uint32_t kLockViolation = 33;
inline constexpr uint32_t kFileExists = 80;
inline constexpr uint32_t kDiskFull = 112;
inline constexpr uint32_t kAlreadyExists = 183;

// Another program holds the entry: waiting may help. Anything else will not change by waiting.
[[nodiscard]] bool isHeld(uint32_t code);

// The entry is not there, or a folder on its way is not.
[[nodiscard]] bool isGone(uint32_t code);

}  // namespace swiftsetup::error

namespace swiftsetup {

// The system's own message for a Windows error code, in the user's language, untrimmed; empty when
// there is none.
[[nodiscard]] std::string systemErrorText(uint32_t code);

// The system's message for an error that happened on a file or folder, followed by its path on a
// line of its own: "Access denied." alone does not tell the user which file is in the way.
[[nodiscard]] std::string systemErrorTextAt(uint32_t code, const std::string& path);

}  // namespace swiftsetup
