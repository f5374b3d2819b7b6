#pragma once
// What the helper programs share: their arguments as Windows splits them, numbers, and files.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace helpers {

// The arguments after the program's own name, split by the rules of CommandLineToArgvW.
std::vector<std::wstring> arguments();

// A decimal number, optionally negative, or a hexadecimal one after "0x", as 32 bits (so -1 and
// 0xFFFFFFFF are the same code). Nothing for anything else.
std::optional<uint32_t> parseNumber(const std::wstring& text);

// Writes bytes to a file whole: into a temporary file beside it first, then moved into place,
// so that a reader polling for the file never sees it half written. True on success.
bool publishFile(const std::wstring& path, const std::string& bytes);

std::string toUtf8(const std::wstring& text);

}  // namespace helpers
