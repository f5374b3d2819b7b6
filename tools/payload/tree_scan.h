#pragma once
// What `pack` puts into a payload: every file below a folder, in the order of the writer
// conventions (a folder's own files first, then each subfolder in turn; names within a folder in
// case-insensitive order), each with the path the payload gives it. Anything the payload or
// Windows could not carry faithfully is refused with the reason.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace swiftsetup {

struct PackEntry {
    std::string payloadPath;  // "/" between levels
    std::string diskPath;
    uint64_t size = 0;
};

struct TreeScan {
    std::vector<PackEntry> files;
    uint64_t totalBytes = 0;
    std::vector<std::string> notes;  // things worth knowing that do not stop the pack
    std::string error;               // why the folder cannot be packed; empty when it can
};

// The order of names within one folder: ASCII letters compared without case (as lower case),
// then byte by byte.
bool payloadNameLess(std::string_view a, std::string_view b);

// Symbolic links to files within the root are followed (the entry reads the file they lead to);
// links that lead outside it, links to folders, and anything that is neither a file nor a folder,
// are refused.
TreeScan scanTree(const std::string& root);

// The required paths ("/" between levels) that are no file of the scan, in the order given. Names
// are compared as Windows compares them: ASCII letters without regard to case.
std::vector<std::string> missingFiles(const TreeScan& scan, const std::vector<std::string>& required);

// True when path is folder or lies below it; both absolute, with every link resolved.
bool isWithinFolder(const std::string& folder, const std::string& path);

}  // namespace swiftsetup
