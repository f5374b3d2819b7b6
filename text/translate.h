#pragma once

namespace swiftsetup {

// The display text of a message key in the user's language, chosen anew from the user's default
// locale on every call; a key outside the catalogue comes back unchanged (the same pointer).
// Never fails and allocates nothing; callers copy the result at once.
const char* translate(const char* key);

}  // namespace swiftsetup
