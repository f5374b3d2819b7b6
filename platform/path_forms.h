#pragma once
// The forms in which a path is handed to Windows. Portable, so that the rule is tested natively.

#include <cstdint>
#include <string>
#include <string_view>

namespace swiftsetup {

// The path in the form that lifts the system's limit of 260 units: "\\?\X:\..." for a drive
// path, "\\?\UNC\server\share\..." for a share. That form is taken literally by the system, so
// only a path that needs no reading is given it: absolute, backslashes only, no empty, "." or ".."
// level, nothing after "X:" but a backslash. Any other path, and one already in that form, comes
// back as it is.
[[nodiscard]] std::string extendedLengthPath(std::string_view path);

// Whether a reparse point of this tag leads somewhere else (a junction, a symbolic link, a mount
// point, anything Windows calls a name surrogate), and so is never entered or written through. A
// reparse point of another kind (a placeholder of files kept in the cloud, a deduplicated file)
// is the file or folder it stands for. A tag of 0 is no kind Windows knows (Wine reports it for
// its links): it counts as a link, so that nothing it leads to is ever touched.
[[nodiscard]] bool isLinkTag(uint32_t reparseTag);

}  // namespace swiftsetup
