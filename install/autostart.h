#pragma once
#include <string>

namespace swiftsetup {

// Deletes every value of the current user's Run key whose command starts the program: its path
// alone, or in quotation marks followed by anything, ASCII letter case ignored. Whatever the
// value's name. Silent; a missing Run key changes nothing.
void removeAutostartEntries(const std::string& programPath);

}  // namespace swiftsetup
