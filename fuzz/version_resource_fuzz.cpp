// Fuzz target of the version resource reader that the uninstall's guard uses to tell whether a
// folder's "uninstall.exe" is this installer: whatever the bytes, a lookup ends, reads nothing
// outside them, and what it finds is valid UTF-8.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "machine/installation_folder/version_resource.h"

namespace {

bool isUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
        } else if (lead >= 0x80) {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* name : {"CompanyName", "ProductName", "", "VS_VERSION_INFO"}) {
        const std::optional<std::string> value = swiftsetup::versionString(data, size, name);
        if (value && !isUtf8(*value)) std::abort();
    }
    return 0;
}
