#include "payload/payload_path.h"

namespace swiftsetup {

bool isSafePayloadPath(std::string_view path) {
    if (path.empty() || path.size() > kMaxPayloadPathLength) return false;
    size_t levelStart = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size()) {
            const char c = path[i];
            if (c == '\0' || c == ':') return false;
            if (!isPayloadPathSeparator(c)) continue;
        }
        const std::string_view level = path.substr(levelStart, i - levelStart);
        if (level.empty() || level == "." || level == "..") return false;
        levelStart = i + 1;
    }
    return true;
}

}  // namespace swiftsetup
