#pragma once
// Payload paths come from untrusted bytes: shown on a terminal, control bytes are escaped.

#include <cstdio>
#include <string>
#include <string_view>

namespace swiftsetup {

inline std::string printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\x%02X", byte);
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace swiftsetup
