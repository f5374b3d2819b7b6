#pragma once
// Moving files and folders within one drive, and what is there. The moves answer with the system's
// error code, ERROR_SUCCESS (0) when they worked.

#include <cstdint>
#include <string>

namespace swiftsetup {

// Renames a file or a folder to another name on the same drive. With replace, a file of the new
// name is replaced in the same step; a folder is never replaced.
uint32_t moveEntry(const std::string& from, const std::string& to, bool replace);

// Creates one folder level; an existing folder is no failure.
uint32_t ensureFolder(const std::string& path);

// A file, folder or link of that name is there.
bool entryExists(const std::string& path);
bool folderExists(const std::string& path);

}  // namespace swiftsetup
