#pragma once
// Making, moving and removing files and folders within one drive. Each answers with the system's
// error code, error::kSuccess (0) when it worked.

#include <cstdint>
#include <string>

namespace swiftsetup {

// Renames a file or a folder to another name on the same drive. With replace, a file of the new
// name is replaced in the same step; a folder is never replaced.
[[nodiscard]] uint32_t moveEntry(const std::string& from, const std::string& to, bool replace);

// Creates one folder level; an existing folder is no failure.
[[nodiscard]] uint32_t ensureFolder(const std::string& path);

// Creates one folder level that must be new: an entry of that name already there is
// error::kAlreadyExists.
[[nodiscard]] uint32_t createNewFolder(const std::string& path);

// Removes a folder that is empty; one that holds anything stays.
[[nodiscard]] uint32_t removeEmptyFolder(const std::string& path);

}  // namespace swiftsetup
