#pragma once
// The autostart values of the current user's Run key that start the application: one of our own
// is written, and every other that starts the program is deleted.

#include <string>
#include <vector>

#include "machine/notes.h"

namespace swiftsetup {

// Deletes every value of the current user's Run key whose command starts the given program,
// whatever the value's name: the program path alone, or in quotation marks followed by
// arguments, ASCII letter case ignored. A missing Run key changes nothing. False when a value
// that starts the program could not be deleted.
// The names of the values deleted go to removed, when given.
[[nodiscard]] bool removeAutostartEntries(const std::string& programPath, std::vector<std::string>* removed = nullptr);

// Whether removeAutostartEntries can delete what it would find: true when no value starts the
// program, or when the Run key can be written.
[[nodiscard]] bool canRemoveAutostartEntries(const std::string& programPath);

// Exactly one autostart value for the program, under the product's name: every other that starts
// it is deleted first. Each value deleted or written is told to note.
void replaceAutostartEntries(const std::string& programPath, const Note& note);

// The Run key's name as the log and the messages give it.
[[nodiscard]] std::string runKeyName();

}  // namespace swiftsetup
