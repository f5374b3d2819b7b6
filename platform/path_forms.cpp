#include "platform/path_forms.h"

namespace swiftsetup {
namespace {

constexpr uint32_t kNameSurrogateBit = 0x20000000;

// No level of the path after its root is empty, "." or "..", and no slash is in it.
bool levelsAreLiteral(std::string_view levels) {
    if (levels.find('/') != std::string_view::npos) return false;
    size_t start = 0;
    while (start <= levels.size()) {
        size_t end = levels.find('\\', start);
        if (end == std::string_view::npos) end = levels.size();
        const std::string_view level = levels.substr(start, end - start);
        if (level.empty() || level == "." || level == "..") return false;
        start = end + 1;
    }
    return true;
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string extendedLengthPath(std::string_view path) {
    if (path.substr(0, 4) == "\\\\?\\") return std::string(path);
    if (path.size() > 3 && isLetter(path[0]) && path[1] == ':' && path[2] == '\\' && levelsAreLiteral(path.substr(3))) {
        return "\\\\?\\" + std::string(path);
    }
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '?' && path[2] != '.' &&
        levelsAreLiteral(path.substr(2))) {
        return "\\\\?\\UNC\\" + std::string(path.substr(2));
    }
    return std::string(path);
}

bool isLinkTag(uint32_t reparseTag) { return reparseTag == 0 || (reparseTag & kNameSurrogateBit) != 0; }

}  // namespace swiftsetup
