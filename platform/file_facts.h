#pragma once
// Facts about files and folders on the disk that the sequences decide by. Failures show as false,
// nothing or size 0.

#include <cstdint>
#include <optional>
#include <string>

namespace swiftsetup {

// Size in bytes, 64-bit; 0 when the file cannot be opened.
[[nodiscard]] uint64_t fileSize(const std::string& path);

// True when both paths name one existing file, however each is spelled (letter case, short
// names, links).
[[nodiscard]] bool isSameFile(const std::string& first, const std::string& second);

// A file, folder or link of that name is there.
[[nodiscard]] bool entryExists(const std::string& path);
// A folder of that name is there (a link to a folder counts).
[[nodiscard]] bool folderExists(const std::string& path);
// The entry is a link (a reparse point of a kind that leads somewhere else, path_forms.h): it is
// never entered or written through. A reparse point of another kind (a file kept in the cloud) is
// the file or folder it stands for.
[[nodiscard]] bool isLink(const std::string& path);

// Room on the drive that holds a path (the path itself need not exist yet: its nearest existing
// folder counts): the bytes this user may still write, and the size of the drive's clusters, in
// which files take their room.
struct DiskSpace {
    uint64_t freeBytes = 0;
    uint32_t clusterBytes = 0;
};
[[nodiscard]] std::optional<DiskSpace> diskSpaceAt(const std::string& path);

// A path ("X:\...", canonical) on a drive that leads to a share; a path that names no drive
// ("\\server\share\...") is on one by its form.
[[nodiscard]] bool isOnRemoteDrive(const std::string& path);

}  // namespace swiftsetup
