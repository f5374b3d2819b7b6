#include "machine/autostart_match.h"

namespace swiftsetup {

std::string_view commandProgramPart(std::string_view command) {
    if (command.size() >= 2 && command.front() == '"') {
        const size_t closing = command.find('"', 1);
        if (closing != std::string_view::npos) return command.substr(1, closing - 1);
    }
    return command;
}

bool commandStartsProgram(std::string_view command, std::string_view foldedProgramPath) {
    return lowerAscii(commandProgramPart(command)) == foldedProgramPath;
}

}  // namespace swiftsetup
