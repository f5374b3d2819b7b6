#pragma once
// Paths in file chunks name files relative to the folder the payload is unpacked into. Readers
// refuse any path that could reach outside that folder before anything is created for it.
// Portable.

#include <cstddef>
#include <string_view>

namespace swiftsetup {

// No Windows path can be longer (in UTF-16 units, and so in UTF-8 bytes); a longer one could
// never be created, only walked level by level at great cost.
inline constexpr size_t kMaxPayloadPathLength = 32767;

inline bool isPayloadPathSeparator(char c) { return c == '/' || c == '\\'; }

// True for a relative path whose levels, separated by "/" or "\", are all real names: no empty
// level (so no leading, trailing or doubled separator), no "." or "..", no ":" anywhere (drive
// letters, alternate data streams), no NUL byte (Windows would cut the name there), and at most
// kMaxPayloadPathLength bytes. Paths written by the conventions always pass.
bool isSafePayloadPath(std::string_view path);

}  // namespace swiftsetup
