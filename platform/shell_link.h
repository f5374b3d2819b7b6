#pragma once
// Shell links (".lnk" files), the shortcuts of the Start menu.

#include <string>

namespace swiftsetup {

// The shell-link objects need COM on the calling thread, as a single-threaded apartment, for as
// long as the thread lives; calling this again changes nothing.
void initializeComOnThisThread();

// Saves a link to target, with target's first icon, at path (its folder must exist). False when
// the link could not be made or saved.
[[nodiscard]] bool saveShellLink(const std::string& target, const std::string& path);

}  // namespace swiftsetup
