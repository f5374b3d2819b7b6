#pragma once
// Letter case of ASCII letters only, as the product compares paths and names it writes itself:
// every byte of a multi-byte UTF-8 sequence stays as it is, so lengths never change. Portable.

#include <string>
#include <string_view>

namespace swiftsetup {

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Capital ASCII letters become small; every other byte, UTF-8 sequences included, stays.
inline std::string lowerAscii(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = lowerAscii(c);
    return folded;
}

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

}  // namespace swiftsetup
