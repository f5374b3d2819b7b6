// Reading the installer's own version resource, as the build's resource compiler writes it, and
// refusing every damaged form of it without reading past its end.
#include "remove/version_resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace swiftsetup {
namespace {

std::vector<uint8_t> installerVersionResource() {
    std::ifstream in(LEXMORA_SOURCE_DIR "/fuzz/corpus/version_resource/installer-version", std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

TEST(VersionResource, ReadsTheStringsOfTheInstallersOwnResource) {
    const std::vector<uint8_t> resource = installerVersionResource();
    ASSERT_GT(resource.size(), 100u);
    EXPECT_EQ(versionString(resource.data(), resource.size(), "CompanyName"), "Norvanta A/S");
    EXPECT_EQ(versionString(resource.data(), resource.size(), "ProductName"), "Lexmora");
    EXPECT_EQ(versionString(resource.data(), resource.size(), "FileVersion"), "3.3.8");
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
