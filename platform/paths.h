#pragma once
// Paths as the system names them: the running program, the user's and the system's folders, and
// the forms a path takes (full, long, where its links lead). Failures show as empty text.

#include <string>
#include <vector>

namespace swiftsetup {

// Full path of the running program, whatever its length.
[[nodiscard]] std::string modulePath();

// The path as Windows reads it, absolute: the current folder for a relative path, "." and ".."
// levels, forward slashes, and the trailing dots and blanks that the file system drops from
// every name. Empty when the system cannot read it.
[[nodiscard]] std::string fullPathName(const std::string& path);

// Short (8.3) names written out as the names they stand for; the path itself when it has none
// to expand or does not exist.
[[nodiscard]] std::string longPathName(const std::string& path);

// Where an existing file or folder really is, every link on the way followed, in the form
// "X:\..." or "\\server\share\..." (no "\\?\" prefix); empty when that cannot be told.
[[nodiscard]] std::string finalPathName(const std::string& path);

// Letter case folded as the file system ignores it, beyond ASCII: both paths folded compare equal
// when the file system takes them for one name.
[[nodiscard]] std::string foldPathCase(const std::string& path);

// The shell folder of a CSIDL as the system reports it; empty when it does not exist or cannot be
// determined (it is never created here).
[[nodiscard]] std::string shellFolderPath(int csidl);

// The user's local application data folder, and the Start menu's folder (shellFolderPath).
[[nodiscard]] std::string localAppDataFolder();
[[nodiscard]] std::string startMenuFolder();

// The system folder (where msiexec.exe is); empty when it cannot be determined or does not fit
// MAX_PATH, so that nothing of the same name elsewhere on the search path is ever run in its place.
[[nodiscard]] std::string systemFolder();

// The user's temporary folder, ending in a backslash; empty when it cannot be determined.
[[nodiscard]] std::string temporaryFolder();

// Folders that hold the user's files, the user's settings, or the system and its programs (every
// known folder of that kind that exists, and the temporary folder), as the system names them.
[[nodiscard]] std::vector<std::string> userAndSystemFolders();

}  // namespace swiftsetup
