#include "platform/text_conversion.h"

#include <limits>

#include "platform/path_forms.h"

namespace swiftsetup {

WideBuffer utf8ToWide(const std::string& text) {
    // Strings longer than an int are not text this program handles; they convert to nothing.
    if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return WideBuffer();
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::vector<wchar_t> units;
    if (n > 0) {
        units.reserve(static_cast<size_t>(n) + 1);
        units.resize(static_cast<size_t>(n));
        MultiByteToWideChar(CP_UTF8, 0, text.data(), length, units.data(), n);
    }
    units.push_back(L'\0');
    return WideBuffer(std::move(units));
}

WideBuffer fileSystemPath(const std::string& path) { return utf8ToWide(extendedLengthPath(path)); }

std::string wideToUtf8(const wchar_t* text, int32_t count) {
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string result(static_cast<size_t>(needed), '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, text, count, result.data(), needed, nullptr, nullptr);
    if (count == -1 && n > 0) --n;  // the system counted the terminator
    if (n <= 0) return std::string();
    result.resize(static_cast<size_t>(n));
    return result;
}

}  // namespace swiftsetup
