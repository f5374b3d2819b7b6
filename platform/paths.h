#pragma once
// Facts about the file system that the sequences need. Failures show as empty text or size 0.

#include <cstdint>
#include <string>

namespace swiftsetup {

// Full path of the running program, whatever its length.
std::string modulePath();

// Size in bytes, 64-bit; 0 when the file cannot be opened.
uint64_t fileSize(const std::string& path);

// The shell folder of a CSIDL as the system reports it; empty when it does not exist or cannot be
// determined (it is never created here).
std::string shellFolderPath(int csidl);

}  // namespace swiftsetup
