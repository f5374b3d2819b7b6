#pragma once
#include <string>

namespace swiftsetup {

// Creates a shell link in the user's Start-menu folder "Kelvora" that starts target and shows its
// first icon. Best effort: when the shell-link object or the Start-menu folder is not available,
// nothing is created. The calling thread must have initialised COM.
// The shortcut's path when it was saved, empty otherwise.
std::string createStartMenuShortcut(const std::string& target, const std::string& fileName);

}  // namespace swiftsetup
