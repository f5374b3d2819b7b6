#pragma once
// The entries of one folder, as the file system lists them. The entry type and its attribute bits
// are plain data, so that the rules that walk listings can be tested without Windows.

#include <cstdint>
#include <string>
#include <vector>

namespace swiftsetup {

// The attribute bits the walks look at, with the values the file system reports.
inline constexpr uint32_t kAttributeDirectory = 0x10;
inline constexpr uint32_t kAttributeReparsePoint = 0x400;

struct DirectoryEntry {
    std::string name;  // as listed, without a folder
    uint32_t attributes = 0;
    uint32_t reparseTag = 0;  // the kind of reparse point, when it is one (path_forms.h, isLinkTag)
};

// A folder's entries, "." and ".." among them, or why it could not be listed: the system's error
// (0 when the whole folder was listed).
struct FolderListing {
    std::vector<DirectoryEntry> entries;
    uint32_t error = 0;
};

[[nodiscard]] FolderListing listFolder(const std::string& folder);

// The folder exists and holds nothing but "." and "..".
[[nodiscard]] bool isEmptyFolder(const std::string& folder);

}  // namespace swiftsetup
