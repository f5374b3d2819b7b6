#pragma once
// Deciding whether an autostart command starts a given program. Portable.

#include <string>
#include <string_view>

#include "text/ascii_case.h"

namespace swiftsetup {

// The program part of a command: the text between a leading quotation mark and the next one;
// otherwise (no quotation mark first, no closing one, or under two bytes) the whole text.
std::string_view commandProgramPart(std::string_view command);

// True when the command's program part equals the program path, ASCII case folded.
bool commandStartsProgram(std::string_view command, std::string_view foldedProgramPath);

}  // namespace swiftsetup
