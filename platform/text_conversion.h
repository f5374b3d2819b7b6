#pragma once
// The boundary between the system's own UTF-8 text and the UTF-16 of Windows calls.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system_errors.h"  // systemErrorText, as this header gave it first

namespace swiftsetup {

// UTF-16 code units that always end in a NUL, so data() serves as a writable wide string (for
// calls that shorten a path in place). size() counts the NUL.
class WideBuffer {
public:
    WideBuffer() : units_(1, L'\0') {}
    explicit WideBuffer(std::vector<wchar_t> unitsWithNul) : units_(std::move(unitsWithNul)) {}

    wchar_t* data() { return units_.data(); }
    const wchar_t* c_str() const { return units_.data(); }
    size_t size() const { return units_.size(); }
    wchar_t operator[](size_t i) const { return units_[i]; }
    wchar_t& operator[](size_t i) { return units_[i]; }

private:
    std::vector<wchar_t> units_;
};

// The whole string, embedded NULs included; a NUL-only buffer for empty or refused input.
[[nodiscard]] WideBuffer utf8ToWide(const std::string& text);

// A path of the file system as a tree operation hands it to Windows: in the form that lifts the
// limit of 260 units where the path can take it (platform/path_forms.h).
[[nodiscard]] WideBuffer fileSystemPath(const std::string& path);

// count units, or -1 for a NUL-terminated text (the terminator is then left out).
[[nodiscard]] std::string wideToUtf8(const wchar_t* text, int32_t count);

}  // namespace swiftsetup
