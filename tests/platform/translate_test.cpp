// translate() under the user locale that Wine derives from the Unix locale variables. Each run of
// this program is told which language its locale must give (--expect=da|de|en).
#include "platform/user_language.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text/catalogue.h"

namespace swiftsetup {
namespace {

std::string expectedLanguage;

Language expected() {
    if (expectedLanguage == "da") return Language::Danish;
    if (expectedLanguage == "de") return Language::German;
    return Language::English;
}

TEST(Translate, FollowsTheUserLocale) {
    ASSERT_FALSE(expectedLanguage.empty()) << "run with --expect=da|de|en";
    const Language language = expected();
    RecordProperty("lcid", static_cast<int>(GetUserDefaultLCID()));
    const CatalogueEntry* table = catalogueTable(language);
    for (int i = 0; i < kCatalogueSize; ++i) {
        EXPECT_STREQ(translate(table[i].key), table[i].text) << table[i].key;
    }
}

TEST(Translate, SpotChecksTheLanguageDirectly) {
    const char* title = translate("#window_title");
    const char* expectedTitle = expectedLanguage == "da"   ? "Lexmora - Installationsprogram"
                                : expectedLanguage == "de" ? "Lexmora - Installationsprogramm"
                                                           : "Lexmora Installer";
    EXPECT_STREQ(title, expectedTitle);
}

TEST(Translate, ReturnsAnUnknownKeyUnchanged) {
    const char* key = "#Window_title";
    EXPECT_EQ(translate(key), key);
    const char* empty = "";
    EXPECT_EQ(translate(empty), empty);
}

}  // namespace
}  // namespace swiftsetup

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--expect=", 9) == 0) swiftsetup::expectedLanguage = argv[i] + 9;
    }
    return RUN_ALL_TESTS();
}
