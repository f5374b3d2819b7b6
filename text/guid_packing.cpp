#include "text/guid_packing.h"

namespace swiftsetup {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendHex(std::string& out, uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 0xF];
}

}  // namespace

std::string packGuid(const Guid& guid) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string packed(32, '0');
    for (size_t i = 0; i < 32; ++i) {
        const uint8_t byte = guid.bytes[i / 2];
        packed[i] = kDigits[(i % 2 == 0) ? (byte & 0xF) : (byte >> 4)];
    }
    return packed;
}

std::optional<Guid> unpackGuid(std::string_view packed) {
    if (packed.size() != 32) return std::nullopt;
    Guid guid;
    for (size_t i = 0; i < 32; ++i) {
        const int value = hexValue(packed[i]);
        if (value < 0) return std::nullopt;
        if (i % 2 == 0) {
            guid.bytes[i / 2] = static_cast<uint8_t>(value);
        } else {
            guid.bytes[i / 2] = static_cast<uint8_t>(guid.bytes[i / 2] | (value << 4));
        }
    }
    return guid;
}

std::string productCodeText(const Guid& guid) {
    const auto& b = guid.bytes;
    const uint32_t data1 = b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t(b[3]) << 24);
    const uint32_t data2 = b[4] | (b[5] << 8);
    const uint32_t data3 = b[6] | (b[7] << 8);
    std::string text;
    text.reserve(36);
    appendHex(text, data1, 8);
    text += '-';
    appendHex(text, data2, 4);
    text += '-';
    appendHex(text, data3, 4);
    text += '-';
    appendHex(text, b[8], 2);
    appendHex(text, b[9], 2);
    text += '-';
    for (int i = 10; i < 16; ++i) appendHex(text, b[i], 2);
    return text;
}

}  // namespace swiftsetup
