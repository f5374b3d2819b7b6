// Reading the installer's own version resource, as the build's resource compiler writes it, and
// refusing every damaged form of it without reading past its end.
#include "machine/installation_folder/version_resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace swiftsetup {
namespace {

std::vector<uint8_t> installerVersionResource() {
    std::ifstream in(LEXMORA_SOURCE_DIR "/fuzz/corpus/version_resource/installer-version", std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// The snapshot's file version from the numbers of its fixed part, as "major.minor.patch": the
// text the resource compiler was given beside them.
std::string fixedFileVersion(const std::vector<uint8_t>& resource) {
    const uint8_t signature[] = {0xBD, 0x04, 0xEF, 0xFE};  // VS_FIXEDFILEINFO, little-endian
    const auto at = std::search(resource.begin(), resource.end(), std::begin(signature), std::end(signature));
    if (resource.end() - at < 16) return "(no fixed part)";
    auto half = [&](size_t offset) { return std::to_string(at[offset] | at[offset + 1] << 8); };
    return half(10) + "." + half(8) + "." + half(14);  // dwFileVersionMS at +8, dwFileVersionLS at +12
}

TEST(VersionResource, ReadsTheStringsOfTheInstallersOwnResource) {
    const std::vector<uint8_t> resource = installerVersionResource();
    ASSERT_GT(resource.size(), 100u);
    EXPECT_EQ(versionString(resource.data(), resource.size(), "CompanyName"), "Norvanta A/S");
    EXPECT_EQ(versionString(resource.data(), resource.size(), "ProductName"), "Lexmora");
    EXPECT_EQ(versionString(resource.data(), resource.size(), "FileVersion"), fixedFileVersion(resource));
    EXPECT_EQ(versionString(resource.data(), resource.size(), "Comments"), std::nullopt);
    EXPECT_EQ(versionString(resource.data(), resource.size(), "companyname"), std::nullopt) << "names match exactly";
    EXPECT_EQ(versionString(nullptr, 0, "CompanyName"), std::nullopt);
}

TEST(VersionResource, DamagedResourcesGiveNothingOrTheirOwnText) {
    const std::vector<uint8_t> resource = installerVersionResource();
    // Cut anywhere, the resource no longer holds its outer block: nothing, and no read beyond the
    // cut (the sanitizers of this build watch).
    for (size_t length = 0; length < resource.size(); ++length) {
        const std::vector<uint8_t> cut(resource.begin(), resource.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(versionString(cut.data(), cut.size(), "CompanyName"), std::nullopt) << length;
    }
    // A changed byte anywhere gives nothing, the same text, or another text; never a crash.
    for (size_t i = 0; i < resource.size(); ++i) {
        std::vector<uint8_t> changed = resource;
        changed[i] ^= 0xA5;
        const std::optional<std::string> value = versionString(changed.data(), changed.size(), "ProductName");
        if (value) {
            EXPECT_LE(value->size(), resource.size()) << i;
        }
    }
}

}  // namespace
}  // namespace swiftsetup
