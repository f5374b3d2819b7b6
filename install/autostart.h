#pragma once
#include <string>
#include <vector>

namespace swiftsetup {

// Deletes every value of the current user's Run key whose command starts the given program,
// whatever the value's name: the program path alone, or in quotation marks followed by
// arguments, ASCII letter case ignored. A missing Run key changes nothing. False when a value
// that starts the program could not be deleted.
// The names of the values deleted go to removed, when given.
bool removeAutostartEntries(const std::string& programPath, std::vector<std::string>* removed = nullptr);

// Whether removeAutostartEntries can delete what it would find: true when no value starts the
// program, or when the Run key can be written.
bool canRemoveAutostartEntries(const std::string& programPath);

}  // namespace swiftsetup
