#pragma once
// Facts about the file system that the sequences need. Failures show as empty text or size 0.

#include <cstdint>
#include <optional>
#include <string>

namespace swiftsetup {

// Full path of the running program, whatever its length.
std::string modulePath();

// The path as Windows reads it, absolute: the current folder for a relative path, "." and ".."
// levels, forward slashes, and the trailing dots and blanks that the file system drops from
// every name. Empty when the system cannot read it.
std::string fullPathName(const std::string& path);

// Size in bytes, 64-bit; 0 when the file cannot be opened.
uint64_t fileSize(const std::string& path);

// True when both paths name one existing file, however each is spelled (letter case, short
// names, links).
bool isSameFile(const std::string& first, const std::string& second);

// Room on the drive that holds a path (the path itself need not exist yet: its nearest existing
// folder counts): the bytes this user may still write, and the size of the drive's clusters, in
// which files take their room.
struct DiskSpace {
    uint64_t freeBytes = 0;
    uint32_t clusterBytes = 0;
};
std::optional<DiskSpace> diskSpaceAt(const std::string& path);

// The shell folder of a CSIDL as the system reports it; empty when it does not exist or cannot be
// determined (it is never created here).
std::string shellFolderPath(int csidl);

}  // namespace swiftsetup
