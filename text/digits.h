#pragma once
// Numbers written as text, without the formatted-output engine that std::to_string would bring
// into the program. Portable.

#include <cstdint>
#include <string>

namespace swiftsetup {

// At least width digits, zero-padded; hexadecimal in lower case.
inline std::string digitsOf(uint64_t value, unsigned base = 10, unsigned width = 1) {
    std::string text;
    do {
        const auto digit = static_cast<unsigned>(value % base);
        text.insert(text.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10));
        value /= base;
    } while (value != 0);
    if (text.size() < width) text.insert(0, width - text.size(), '0');
    return text;
}

}  // namespace swiftsetup
