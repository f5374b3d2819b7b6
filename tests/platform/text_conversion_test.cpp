// UTF-8 <-> UTF-16 at the Windows boundary, and the system's error texts.
#include "platform/text_conversion.h"

#include <gtest/gtest.h>

#include <string>

namespace swiftsetup {
namespace {

std::wstring contents(const WideBuffer& buffer) { return std::wstring(buffer.c_str(), buffer.size() - 1); }

TEST(Utf8ToWide, EmptyTextIsTheTerminatorAlone) {
    const WideBuffer buffer = utf8ToWide("");
    ASSERT_EQ(buffer.size(), 1u);
    EXPECT_EQ(buffer[0], L'\0');
}

TEST(Utf8ToWide, LettersOfTwoUtf8BytesBecomeOneUnitEach) {
    const WideBuffer ascii = utf8ToWide("Installerer filer...");
    ASSERT_EQ(ascii.size(), 21u);
    EXPECT_EQ(contents(ascii), L"Installerer filer...");
    EXPECT_EQ(ascii[20], L'\0');

    const std::string danish = "Fjern \xC3\xA6\xC3\xB8\xC3\xA5 \xC3\x86\xC3\x98\xC3\x85";  // æøå ÆØÅ
    const WideBuffer wide = utf8ToWide(danish);
    EXPECT_EQ(contents(wide), L"Fjern \u00E6\u00F8\u00E5 \u00C6\u00D8\u00C5");
    const std::string german = "Gr\xC3\xB6\xC3\x9F" "e \xC3\xBC";  // Größe ü
    EXPECT_EQ(contents(utf8ToWide(german)), L"Gr\u00F6\u00DFe \u00FC");
    // A letter outside the basic plane takes two units.
    EXPECT_EQ(contents(utf8ToWide("\xF0\x9F\x93\x96")), L"\xD83D\xDCD6");
}

TEST(Utf8ToWide, EmbeddedNulIsConvertedWhole) {
    const std::string text("ab\0cd", 5);
    const WideBuffer buffer = utf8ToWide(text);
    ASSERT_EQ(buffer.size(), 6u);
    EXPECT_EQ(std::wstring(buffer.c_str(), 5), std::wstring(L"ab\0cd", 5));
    EXPECT_EQ(std::wstring(buffer.c_str()), L"ab");  // read as a C string it ends at the NUL
}

TEST(Utf8ToWide, BufferIsWritableInPlace) {
    WideBuffer buffer = utf8ToWide("C:\\folder\\file.txt");
    buffer.data()[9] = L'\0';
    EXPECT_EQ(std::wstring(buffer.c_str()), L"C:\\folder");
}

TEST(WideToUtf8, MinusOneStopsAtTheTerminatorAndLeavesItOut) {
    EXPECT_EQ(wideToUtf8(L"Gr\u00F6\u00DFe", -1), "Gr\xC3\xB6\xC3\x9F" "e");
    EXPECT_EQ(wideToUtf8(L"ab\0cd", -1), "ab");
    EXPECT_EQ(wideToUtf8(L"", -1), "");
}

TEST(WideToUtf8, ExplicitCountKeepsWhatItCounts) {
    EXPECT_EQ(wideToUtf8(L"abcdef", 3), "abc");
    EXPECT_EQ(wideToUtf8(L"ab", 3), std::string("ab\0", 3));  // a counted NUL stays
    EXPECT_EQ(wideToUtf8(L"ab\0cd", 5), std::string("ab\0cd", 5));
    EXPECT_EQ(wideToUtf8(L"ignored", 0), "");
}

TEST(WideToUtf8, RoundTripsDanishAndGermanText) {
    const std::string text = "Er du sikker p\xC3\xA5, at du vil afinstallere? M\xC3\xB6" "chten";
    const WideBuffer wide = utf8ToWide(text);
    EXPECT_EQ(wideToUtf8(wide.c_str(), -1), text);
    EXPECT_EQ(wideToUtf8(wide.c_str(), static_cast<int32_t>(wide.size() - 1)), text);
}

TEST(SystemErrorText, KnownCodeGivesTheSystemsSentenceUntrimmed) {
    const std::string text = systemErrorText(ERROR_ALREADY_EXISTS);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(text.find("183"), std::string::npos) << "no number is added";

    // The same sentence the system gives, converted to UTF-8 without loss.
    wchar_t* raw = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, ERROR_ALREADY_EXISTS, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(&raw), 0, nullptr);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(utf8ToWide(text).size() - 1, length);
    LocalFree(raw);
}

TEST(SystemErrorText, SpeaksTheUserLanguage) {
    // The harness runs this program under an English and a Danish user locale; the texts are
    // those of Wine 8, the system these tests run on.
    wchar_t lang[64] = L"";
    GetEnvironmentVariableW(L"LANG", lang, 64);
    if (std::wstring(lang).rfind(L"da", 0) == 0) {
        EXPECT_EQ(systemErrorText(ERROR_ALREADY_EXISTS), "Filen eksistere allerede.\r\n");
        EXPECT_EQ(systemErrorText(ERROR_ACCESS_DENIED), "Adgang n\xC3\xA6gtet.\r\n");  // æ
    } else {
        EXPECT_EQ(systemErrorText(ERROR_ALREADY_EXISTS), "File already exists.\r\n");
        EXPECT_EQ(systemErrorText(ERROR_ACCESS_DENIED), "Access denied.\r\n");
    }
}

TEST(SystemErrorText, UnknownCodeGivesEmptyText) {
    EXPECT_EQ(systemErrorText(0x2FFFFFFF), "");
    EXPECT_EQ(systemErrorText(65000), "");
}

}  // namespace
}  // namespace swiftsetup
