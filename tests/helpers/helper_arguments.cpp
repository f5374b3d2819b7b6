#include "tests/helpers/helper_arguments.h"

#include <shellapi.h>

namespace helpers {

std::vector<std::wstring> arguments() {
    std::vector<std::wstring> result;
    int count = 0;
    wchar_t** values = CommandLineToArgvW(GetCommandLineW(), &count);
    if (values == nullptr) return result;
    for (int i = 1; i < count; ++i) result.emplace_back(values[i]);
    LocalFree(values);
    return result;
}

std::optional<uint32_t> parseNumber(const std::wstring& text) {
    size_t position = 0;
    bool negative = false;
    uint32_t base = 10;
    if (position < text.size() && text[position] == L'-') {
        negative = true;
        ++position;
    } else if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        base = 16;
        position = 2;
    }
    if (position == text.size()) return std::nullopt;
    uint64_t value = 0;
    for (; position < text.size(); ++position) {
        const wchar_t c = text[position];
        uint32_t digit = 0;
        if (c >= L'0' && c <= L'9') digit = static_cast<uint32_t>(c - L'0');
        else if (base == 16 && c >= L'a' && c <= L'f') digit = static_cast<uint32_t>(c - L'a' + 10);
        else if (base == 16 && c >= L'A' && c <= L'F') digit = static_cast<uint32_t>(c - L'A' + 10);
        else return std::nullopt;
        if (digit >= base) return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    const uint32_t result = static_cast<uint32_t>(value);
    return negative ? static_cast<uint32_t>(0u - result) : result;
}

bool publishFile(const std::wstring& path, const std::string& bytes) {
    const std::wstring temporary = path + L".partial-" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!wrote || written != bytes.size() ||
        !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

}  // namespace helpers
