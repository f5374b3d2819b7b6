#pragma once
// Moving files and folders within one drive, and making what was written reach the disk. Each
// answers with the system's error code, ERROR_SUCCESS (0) when it worked.

#include <cstdint>
#include <string>

namespace swiftsetup {

// Renames a file or a folder to another name on the same drive. With replace, a file of the new
// name is replaced in the same step; a folder is never replaced.
uint32_t moveEntry(const std::string& from, const std::string& to, bool replace);

// Writes whatever the system still holds of the file in memory to the disk, so that a power cut
// from now on finds it whole.
uint32_t flushToDisk(const std::string& path);

// Creates one folder level; an existing folder is no failure.
uint32_t ensureFolder(const std::string& path);

bool folderExists(const std::string& path);

}  // namespace swiftsetup
