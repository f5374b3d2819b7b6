// Autostart maintenance on the user's real Run key, seeded with the shapes an earlier version or
// the user may have left there.
#include "machine/autostart.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tests/support/product_state.h"
#include "tests/support/test_support.h"

namespace swiftsetup {
namespace {

using testsupport::kRunKey;
using testsupport::writeValue;

// A Danish user name, so that non-ASCII letters take part in the comparison.
const std::wstring kProgram = L"C:\\Users\\S\u00F8ren\\AppData\\Local\\Apps\\Lexmora 3\\lexmora.exe";

class Autostart : public ::testing::Test {
protected:
    void SetUp() override {
        before = testsupport::readValues(kRunKey);
        for (const auto& [name, value] : before) ASSERT_EQ(name.rfind(L"LexmoraTest", 0), std::wstring::npos);
    }
    void TearDown() override {
        HKEY run = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_ALL_ACCESS, &run) != ERROR_SUCCESS) return;
        for (const std::wstring& name : testsupport::valueNamesInOrder(kRunKey)) {
            if (name.rfind(L"LexmoraTest", 0) == 0) RegDeleteValueW(run, name.c_str());
        }
        RegCloseKey(run);
    }
    std::set<std::wstring> remainingTestValues() {
        std::set<std::wstring> names;
        for (const auto& [name, value] : testsupport::readValues(kRunKey)) {
            if (name.rfind(L"LexmoraTest", 0) == 0) names.insert(name);
        }
        return names;
    }
    testsupport::RegistryValues before;
};

TEST_F(Autostart, DeletesEveryValueThatStartsTheProgramAndNothingElse) {
    // Deleted: the path alone, in quotation marks with arguments, ASCII case differences.
    writeValue(kRunKey, L"LexmoraTest exact", kProgram);
    writeValue(kRunKey, L"LexmoraTest quoted", L"\"" + kProgram + L"\" --minimized");
    writeValue(kRunKey, L"LexmoraTest quoted alone", L"\"" + kProgram + L"\"");
    writeValue(kRunKey, L"LexmoraTest ascii case",
                   L"c:\\USERS\\S\u00F8REN\\appdata\\LOCAL\\apps\\lexmora 3\\LEXMORA.EXE");
    // Kept: arguments without quotation marks, a non-ASCII case difference, REG_EXPAND_SZ, an
    // unclosed quotation mark, other programs, an empty value.
    writeValue(kRunKey, L"LexmoraTest unquoted arguments", kProgram + L" --minimized");
    writeValue(kRunKey, L"LexmoraTest non-ascii case",
                   L"C:\\Users\\S\u00D8ren\\AppData\\Local\\Apps\\Lexmora 3\\lexmora.exe");
    writeValue(kRunKey, L"LexmoraTest expand", kProgram, REG_EXPAND_SZ);
    writeValue(kRunKey, L"LexmoraTest unclosed", L"\"" + kProgram + L" --minimized");
    writeValue(kRunKey, L"LexmoraTest other", L"C:\\Program Files\\Other\\other.exe");
    writeValue(kRunKey, L"LexmoraTest chat", L"\"C:\\Users\\S\u00F8ren\\AppData\\Local\\Apps\\Lexmora 3\\parlavo.exe\"");
    writeValue(kRunKey, L"LexmoraTest empty", L"");

    EXPECT_TRUE(removeAutostartEntries(testsupport::narrow(kProgram)));

    EXPECT_EQ(remainingTestValues(),
              (std::set<std::wstring>{L"LexmoraTest unquoted arguments", L"LexmoraTest non-ascii case",
                                      L"LexmoraTest expand", L"LexmoraTest unclosed", L"LexmoraTest other",
                                      L"LexmoraTest chat", L"LexmoraTest empty"}));
    // Values of other programs that were there before are untouched.
    auto now = testsupport::readValues(kRunKey);
    for (const auto& [name, value] : before) {
        ASSERT_TRUE(now.count(name)) << testsupport::narrow(name);
        EXPECT_EQ(now[name].data, value.data);
    }
}

TEST_F(Autostart, AMissingRunKeyIsNoError) {
    // The program's own key below the Run key cannot exist; calling with a path that matches
    // nothing must leave every value alone.
    writeValue(kRunKey, L"LexmoraTest other", L"C:\\other.exe");
    EXPECT_TRUE(removeAutostartEntries("C:\\nothing\\lexmora.exe"));
    EXPECT_EQ(remainingTestValues(), (std::set<std::wstring>{L"LexmoraTest other"}));
}

}  // namespace
}  // namespace swiftsetup
