// Packed GUIDs as Windows Installer writes them, and product codes as msiexec.exe takes them.
#include "text/guid_packing.h"

#include <gtest/gtest.h>

#include "machine/product.h"

namespace swiftsetup {
namespace {

TEST(GuidPacking, TheProductsUpgradeCodesPackAsWindowsInstallerNamesThem) {
    EXPECT_EQ(packGuid(product::kUpgradeCodes[0]), "E3F0A1D674B258C4E901A7B3C5D9E214");
    EXPECT_EQ(packGuid(product::kUpgradeCodes[1]), "17D2E8F360A539B4D8C2E1F4A6B7C950");
    EXPECT_EQ(productCodeText(product::kUpgradeCodes[0]), "6d1a0f3e-2b47-4c85-9e10-7a3b5c9d2e41");
    EXPECT_EQ(productCodeText(product::kUpgradeCodes[1]), "3f8e2d71-5a06-4b93-8d2c-1e4f6a7b9c05");
}

TEST(GuidPacking, UnpacksEitherLetterCaseToTheConventionalText) {
    const auto upper = unpackGuid("1032547698BADCFE1032547698BADCFE");
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(productCodeText(*upper), "67452301-ab89-efcd-0123-456789abcdef");
    const auto lower = unpackGuid("1032547698badcfe1032547698badcfe");
    ASSERT_TRUE(lower.has_value());
    EXPECT_EQ(*lower, *upper);
}

TEST(GuidPacking, RoundTripsAndPadsEveryField) {
    const Guid small = Guid::fromFields(0x1, 0x2, 0x3, {0, 1, 2, 3, 4, 5, 6, 0xF});
    EXPECT_EQ(productCodeText(small), "00000001-0002-0003-0001-02030405060f");
    for (const Guid& g : {small, product::kUpgradeCodes[0], product::kUpgradeCodes[1], Guid{}}) {
        EXPECT_EQ(unpackGuid(packGuid(g)), g);
    }
}

TEST(GuidPacking, RejectsWhatIsNotAPackedGuid) {
    EXPECT_FALSE(unpackGuid("1032547698BADCFE1032547698BADCF"));    // 31 characters
    EXPECT_FALSE(unpackGuid("1032547698BADCFE1032547698BADCFE0"));  // 33
    EXPECT_FALSE(unpackGuid("1032547698BADCFE1032547698BADCFG"));   // a letter beyond F
    EXPECT_FALSE(unpackGuid("{032547698BADCFE1032547698BADCFE"));
    EXPECT_FALSE(unpackGuid(std::string("1032547698BADCFE\0" "032547698BADCFE", 32)));
    EXPECT_FALSE(unpackGuid(""));
}

}  // namespace
}  // namespace swiftsetup
