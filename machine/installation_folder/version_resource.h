#pragma once
// Reading a program's version resource (VS_VERSIONINFO) from its bytes: the text values of its
// string tables, such as "CompanyName" and "ProductName". Portable, so that it can be tested and
// fuzzed without Windows; every length in the resource is checked against the bytes at hand.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace swiftsetup {

// The value of the named string (an ASCII name such as "CompanyName") in the first string table
// that has it, as UTF-8; nothing when the resource has no such string or does not hold together.
[[nodiscard]] std::optional<std::string> versionString(const uint8_t* resource, size_t size, std::string_view name);

}  // namespace swiftsetup
