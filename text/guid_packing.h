#pragma once
// GUIDs as Windows Installer names them in the registry ("packed": 32 hex digits, each byte's
// low digit first) and as msiexec.exe takes them (the conventional text, here in lower case).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace swiftsetup {

// A GUID in the Windows memory layout: a 32-bit and two 16-bit little-endian fields, 8 bytes.
struct Guid {
    std::array<uint8_t, 16> bytes{};

    static constexpr Guid fromFields(uint32_t data1, uint16_t data2, uint16_t data3,
                                     std::array<uint8_t, 8> data4) {
        Guid g;
        for (int i = 0; i < 4; ++i) g.bytes[i] = static_cast<uint8_t>(data1 >> (8 * i));
        for (int i = 0; i < 2; ++i) g.bytes[4 + i] = static_cast<uint8_t>(data2 >> (8 * i));
        for (int i = 0; i < 2; ++i) g.bytes[6 + i] = static_cast<uint8_t>(data3 >> (8 * i));
        for (int i = 0; i < 8; ++i) g.bytes[8 + i] = data4[i];
        return g;
    }
    friend bool operator==(const Guid&, const Guid&) = default;
};

// 32 upper-case hex digits, no braces or hyphens.
std::string packGuid(const Guid& guid);

// Reads 32 hex digits of either case; nothing for any other text.
[[nodiscard]] std::optional<Guid> unpackGuid(std::string_view packed);

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lower case, without braces.
std::string productCodeText(const Guid& guid);

}  // namespace swiftsetup
